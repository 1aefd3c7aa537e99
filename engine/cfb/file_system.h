// The one seam every file the engine writes goes through: the operating system's files in
// use, a fake in tests that fails or stops at a chosen write, so that tests can show a commit
// cut short at any point leaves the old file or the new one. Reading is not part of it.
//
// Calls return 0 or an errno value, so a fake can report any failure a disk can.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <span>

namespace msi::cfb {

// What identifies a file's state: an in-place commit checks it still holds before writing, so
// it never builds on a file someone else has rewritten since it was read.
// Device and file number are as wide as any system's (Windows numbers files in 64 bits).
struct FileIdentity {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  std::uint64_t size = 0;
  std::int64_t modifiedNs = 0;
  bool operator==(const FileIdentity&) const = default;
};

// A file open for writing; closed (unreported) on destruction.
class WritableFile {
 public:
  virtual ~WritableFile() = default;
  // Writes all of [data, data+size) at `offset`.
  virtual int writeAt(std::uint64_t offset, const std::uint8_t* data, std::size_t size) = 0;
  // Makes what was written durable.
  virtual int sync() = 0;
  virtual int truncate(std::uint64_t size) = 0;
  virtual int setModified(std::int64_t ns) = 0;
  virtual int identify(FileIdentity& out) = 0;
  // Closes now, reporting what a close reports (a delayed write error, say).
  virtual int close() = 0;
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;
  // A new file, which must not exist yet (EEXIST). It gets `permissions` when given, else
  // what a new file gets.
  virtual int create(const std::filesystem::path& path, std::optional<mode_t> permissions,
                     std::unique_ptr<WritableFile>& out) = 0;
  // An existing file, opened to be changed in place.
  virtual int openExisting(const std::filesystem::path& path, std::unique_ptr<WritableFile>& out) = 0;
  virtual int rename(const std::filesystem::path& from, const std::filesystem::path& to) = 0;
  virtual int remove(const std::filesystem::path& path) = 0;
  // Makes renames and removals in `folder` durable.
  virtual int syncFolder(const std::filesystem::path& folder) = 0;

  // The operating system's files.
  static FileSystem& system();
};

// Makes `parts`, one after the other, the whole content of `target`: written to a temporary
// sibling that is renamed over it, so `target` holds its old content or the new one, and no
// temporary file stays behind. Throws msi::cfb::Error("<target>: <cause>").
void replaceFile(FileSystem& files, const std::filesystem::path& target,
                 std::initializer_list<std::span<const std::uint8_t>> parts);
// The same for content made a piece at a time: `write` hands each piece to `put` with its
// offset, in any order, and may write over what it wrote before; the file ends where the
// furthest piece ends, and `write` must leave no gap before that.
using PieceWriter = std::function<void(std::uint64_t offset, std::span<const std::uint8_t> bytes)>;
void replaceFile(FileSystem& files, const std::filesystem::path& target,
                 const std::function<void(const PieceWriter& put)>& write);

}  // namespace msi::cfb
