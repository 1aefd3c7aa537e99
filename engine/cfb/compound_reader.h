// The one Reader implementation: a checked view of a compound file on disk (read with
// positioned reads as needed) or held in memory. Besides the public interface it exposes the allocation structures the Editor
// needs for an in-place commit. Private to engine/cfb.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/cfb/compound_file.h"
#include "engine/cfb/directory_entry.h"
#include "engine/cfb/header.h"
#include "engine/cfb/read_only_file.h"

namespace msi::cfb {

class CompoundReader final : public Reader {
 public:
  CompoundReader(std::unique_ptr<ReadOnlyFile> file, std::filesystem::path path);
  CompoundReader(Bytes data, std::string name);

  const std::string& name() const override { return name_; }
  Clsid rootClsid() const override { return entries_[0].clsid; }
  int version() const override { return header_.major; }
  std::vector<EntryInfo> list(const Path& storage) const override;
  std::optional<EntryInfo> find(const Path& entry) const override;
  Bytes read(const Path& stream) const override;

  // --- for the Editor ---
  const Header& header() const { return header_; }
  std::uint32_t sectorSize() const { return header_.sectorSize(); }
  // Sectors whose start lies inside the file (the last may be partial).
  std::uint32_t sectorCount() const { return sectorCount_; }
  // The file's first 512 bytes, as read when it was opened.
  std::span<const std::uint8_t, format::kHeaderFieldsSize> headerBytes() const { return headerBytes_; }
  // Set for a file on disk, null for one read from bytes.
  const ReadOnlyFile* file() const { return file_.get(); }
  const std::filesystem::path& path() const { return path_; }

  const std::vector<DirectoryEntry>& entries() const { return entries_; }
  // Entry ids of the children of storage `id`, in directory (tree in-order) order.
  const std::vector<std::uint32_t>& children(std::uint32_t id) const { return children_[id]; }
  // Entry id at `path`, or nothing when absent.
  std::optional<std::uint32_t> lookup(const Path& path) const;
  Bytes readEntry(std::uint32_t id) const;
  // Regular sectors holding the stream `id` (empty for mini streams and empty streams).
  std::vector<std::uint32_t> streamSectors(std::uint32_t id) const;
  // Mini sectors holding the stream `id` (empty unless it lives in the mini stream).
  std::vector<std::uint32_t> streamMiniSectors(std::uint32_t id) const;

  const std::vector<std::uint32_t>& fatSectors() const { return fatSectors_; }
  // Every FAT entry, by sector (what the FAT sectors hold, in order).
  const std::vector<std::uint32_t>& fat() const { return fat_; }
  const std::vector<std::uint32_t>& difatSectors() const { return difatSectors_; }
  const std::vector<std::uint32_t>& directorySectors() const { return dirSectors_; }
  const std::vector<std::uint32_t>& miniFatSectors() const { return miniFatSectors_; }
  const std::vector<std::uint32_t>& miniStreamSectors() const { return miniStreamSectors_; }
  std::uint64_t miniStreamSize() const { return entries_[0].size; }
  // Whole sectors `ids`, one after the other; where the file ends inside the last sector
  // (some writers leave it short), the missing bytes read as zeros. Throws Error for ids out
  // of range.
  Bytes readSectors(const std::vector<std::uint32_t>& ids, std::string_view what) const;

 private:
  void load();
  [[noreturn]] void fail(const std::string& cause) const;
  bool fits(std::uint32_t id, std::size_t offset, std::size_t length) const;
  // Copies bytes [at, at+length) of the file; throws Error when the file no longer holds them.
  void copyOut(std::uint64_t at, std::uint8_t* out, std::size_t length) const;
  // Fills `out` with bytes [offset, offset+length) of sector `id`; throws Error when they lie
  // past the end.
  void readSector(std::uint32_t id, std::size_t offset, std::uint8_t* out, std::size_t length,
                  std::string_view what) const;
  // Pieces of the file copied into `out`; pieces adjacent in both are read in one go.
  struct Piece {
    std::uint64_t at;    // in the file
    std::size_t length;
    std::size_t to;      // in `out`
  };
  void gather(const std::vector<Piece>& pieces, std::uint8_t* out) const;
  std::uint32_t fatEntry(std::uint32_t sector) const;
  std::uint32_t miniFatEntry(std::uint32_t mini) const;
  // Follows a chain from `start`. With `needed`, stops after that many sectors (a shorter
  // chain is an error); otherwise follows it to ENDOFCHAIN. Loops are errors either way.
  // `what` names the chain's owner in messages; it is only called on failure, as labels of
  // deeply nested entries are costly.
  using Label = std::function<std::string()>;
  std::vector<std::uint32_t> chain(std::uint32_t start, std::optional<std::uint64_t> needed,
                                   const Label& what) const;
  std::vector<std::uint32_t> miniChain(std::uint32_t start, std::uint64_t needed, const Label& what) const;
  void loadDifat();
  void loadDirectory();
  void loadTree();
  std::string entryLabel(std::uint32_t id) const;
  EntryInfo info(std::uint32_t id) const;
  std::uint32_t requireStorage(const Path& storage) const;

  std::unique_ptr<ReadOnlyFile> file_;
  Bytes owned_;                 // the content, for a Reader made from bytes
  std::uint64_t size_ = 0;      // file size when opened
  std::array<std::uint8_t, format::kHeaderFieldsSize> headerBytes_{};
  std::filesystem::path path_;
  std::string name_;
  Header header_;
  std::uint32_t sectorCount_ = 0;
  std::vector<std::uint32_t> fatSectors_;
  std::vector<std::uint32_t> fat_;  // every FAT entry, by sector
  std::vector<std::uint32_t> difatSectors_;
  std::vector<std::uint32_t> dirSectors_;
  std::vector<std::uint32_t> miniFatSectors_;
  std::vector<std::uint32_t> miniStreamSectors_;
  std::vector<std::uint32_t> miniFat_;  // every mini FAT entry, by mini sector
  std::vector<DirectoryEntry> entries_;
  std::vector<std::uint32_t> parent_;  // storage holding each reachable entry; kNoStream if none
  std::vector<std::vector<std::uint32_t>> children_;
  std::vector<std::vector<std::uint32_t>> byName_;  // children sorted by name, for lookups
};

}  // namespace msi::cfb
