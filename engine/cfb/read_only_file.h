// A file read with positioned reads through a descriptor (a handle on Windows) held open, closed on destruction.
// Private to engine/cfb.
//
// Not a memory mapping: a mapped file that another program truncates faults (SIGBUS) on the
// pages past its new end, which no check can prevent. A read that comes up short is an Error
// instead. Reads copy only what is asked for, so memory stays proportional to what the caller
// reads, as with a mapping, and several threads may read at once.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

#include "engine/cfb/file_system.h"

namespace msi::cfb {

// The identity of the file now at `path`, or nothing when it cannot be examined.
bool identify(const std::filesystem::path& path, FileIdentity& out);

class ReadOnlyFile {
 public:
  // Throws Error("<path>: <cause>").
  explicit ReadOnlyFile(const std::filesystem::path& path);
  ~ReadOnlyFile();
  ReadOnlyFile(const ReadOnlyFile&) = delete;
  ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

  // Size when opened.
  std::uint64_t size() const { return identity_.size; }
  const FileIdentity& identity() const { return identity_; }
  // Fills [out, out+length) from `offset`. Throws Error("<path>: <cause>") when the file now
  // ends before that range (another program shortened it) or cannot be read.
  void read(std::uint64_t offset, std::uint8_t* out, std::size_t length) const;

 private:
  std::string name_;
#ifdef _WIN32
  void* handle_ = nullptr;  // the Windows file handle
#else
  int fd_ = -1;
#endif
  FileIdentity identity_;
};

}  // namespace msi::cfb
