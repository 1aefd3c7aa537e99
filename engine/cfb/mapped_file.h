// A whole file mapped read-only into memory, unmapped on destruction. Private to engine/cfb.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>

namespace msi::cfb {

// What identifies the file's state when it was mapped: an in-place commit checks it still
// holds before writing, so it never builds on a file someone else has rewritten since.
struct FileIdentity {
  dev_t device = 0;
  ino_t inode = 0;
  std::uint64_t size = 0;
  std::int64_t modifiedNs = 0;
  bool operator==(const FileIdentity&) const = default;
};

// The identity of the file now at `path`, or nothing when it cannot be examined.
bool identify(const std::filesystem::path& path, FileIdentity& out);

class MappedFile {
 public:
  // Throws Error("<path>: <cause>").
  explicit MappedFile(const std::filesystem::path& path);
  ~MappedFile();
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;

  std::span<const std::uint8_t> bytes() const { return {data_, size_}; }
  const FileIdentity& identity() const { return identity_; }

 private:
  const std::uint8_t* data_ = nullptr;
  std::size_t size_ = 0;
  FileIdentity identity_;
};

}  // namespace msi::cfb
