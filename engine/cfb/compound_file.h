// Compound-file storage: the container format of packages, merge modules and transforms.
//
// Reader: a read-only view of a file, read as needed with positioned reads (not mapped). It
// never writes, locks or touches the file it reads. Every sector index, chain length and size
// it follows is checked, so a damaged or hostile file gives an Error naming the file and the
// cause, never a crash, hang or huge allocation; so does a file another program shortens
// while a Reader holds it. Its const methods may be called from several threads at once.
//
// Editor: a set of changes (new, replaced and removed streams and storages) applied to an
// existing file or to an empty one, then committed. A commit never leaves a half-written file:
// whatever happens, the target holds either its previous content or the new one.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/base/error.h"
#include "engine/cfb/file_system.h"

namespace msi::cfb {

// The engine's one error type (kind and message).
using Error = msi::Error;

using Bytes = std::vector<std::uint8_t>;
using Clsid = std::array<std::uint8_t, 16>;
// A path from the root storage: the names of the storages to descend, then the entry's name.
// Names are UTF-16 code units, as stored (table streams keep their compressed names here).
using Path = std::vector<std::u16string>;

enum class EntryKind { Storage, Stream };

// Content made while a commit writes it: the writer hands every byte to the sink, in order,
// in pieces of any size. It must give exactly the size announced with it and the same bytes
// each time it is called; a commit that receives other than that size fails as a whole.
using StreamSink = std::function<void(const std::uint8_t* data, std::size_t size)>;
using StreamWriter = std::function<void(const StreamSink& sink)>;

struct EntryInfo {
  std::u16string name;
  EntryKind kind = EntryKind::Stream;
  std::uint64_t size = 0;  // streams only
  Clsid clsid{};           // storages only
};

class Reader {
 public:
  // Opens the file read-only. Throws Error("<path>: <cause>").
  static std::shared_ptr<const Reader> open(const std::filesystem::path& path);
  // Reads from a buffer (tests, fuzzing, nested data). `name` appears in error messages.
  static std::shared_ptr<const Reader> fromBytes(Bytes data, std::string name = "<memory>");

  virtual ~Reader() = default;
  virtual const std::string& name() const = 0;  // file path or given name, for messages
  virtual Clsid rootClsid() const = 0;
  // Format version: 3 (512-byte sectors) or 4 (4096-byte sectors).
  virtual int version() const = 0;
  // Children of a storage (the root when `storage` is empty), in directory order.
  virtual std::vector<EntryInfo> list(const Path& storage = {}) const = 0;
  virtual std::optional<EntryInfo> find(const Path& entry) const = 0;
  // Whole content of a stream. Throws Error when it is missing or damaged.
  virtual Bytes read(const Path& stream) const = 0;
};

class Editor {
 public:
  // Changes to an empty compound file whose root has `rootClsid`.
  explicit Editor(Clsid rootClsid);
  // Changes to `base`; everything not changed is kept as it is in `base`.
  explicit Editor(std::shared_ptr<const Reader> base);
  ~Editor();
  Editor(Editor&&) noexcept;
  Editor& operator=(Editor&&) noexcept;

  void setRootClsid(const Clsid& clsid);
  // Format version a full write produces: 3 or 4. Defaults to the base's version (3 for a new
  // file). A commit into the base file with a different version rewrites it whole.
  void setVersion(int major);
  // Creates or replaces a stream; storages on the way are created as needed.
  void putStream(const Path& stream, Bytes data);
  // The same for content of `size` bytes that `write` makes when the commit needs it, so that
  // it need not be held until then. Whatever `write` reads must stay as it is until commit()
  // returns or this Editor is destroyed. A whole-file commit calls it once, as it writes the
  // stream; a commit into the base file holds one such stream at a time, and of it only the
  // sectors that differ from the base.
  void putStream(const Path& stream, std::uint64_t size, StreamWriter write);
  // Writes `bytes` over part of an existing stream, whose size stays as it is. A commit into
  // the base file then writes only the sectors the ranges fall in. Throws Error when the
  // stream does not exist or the range runs past its end.
  void patchStream(const Path& stream, std::uint64_t offset, Bytes bytes);
  // Creates a storage (or sets the CLSID of an existing one).
  void putStorage(const Path& storage, const Clsid& clsid = {});
  // Copies a whole storage subtree of another file into this one at `to`.
  void copyStorage(const Reader& from, const Path& fromPath, const Path& to);
  // Removes a stream or a storage with all it holds; no effect when absent.
  void remove(const Path& entry);
  bool hasChanges() const;

  // Writes the result to `target`. When `target` is the base file (opened with Reader::open),
  // only the changed streams plus the allocation and directory sectors are written; otherwise
  // a new file is written beside `target` and renamed over it. Throws Error naming `target` on
  // failure, in which case `target` is as it was; also when the base file was changed on disk
  // by someone else since it was opened.
  //
  // New stream data (other than streams given with a writer) and what copyStorage copies are
  // held in memory until committed; streams kept from the base are read one at a time while a
  // whole file is written.
  //
  // In-place commits never overwrite a sector the previous state uses (new data goes to free
  // or appended sectors; the header is written last), so a Reader opened before the commit
  // keeps reading the old content until the NEXT commit to the same file, which may reuse the
  // sectors this one freed: reopen Readers after a commit. After an in-place commit this
  // Editor continues from the reopened file (base() is the new Reader, hasChanges() false).
  // Files written whole are deterministic: the same content gives the same bytes (zero
  // times, zero CLSIDs unless set).
  // Every write goes through `files`.
  void commit(const std::filesystem::path& target, FileSystem& files = FileSystem::system());

  // The Reader this Editor builds on; null for a new file.
  std::shared_ptr<const Reader> base() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace msi::cfb
