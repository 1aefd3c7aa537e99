// Writing files safely: a descriptor that closes itself, whole writes that report errno, and
// a temporary sibling that either replaces its target by rename or disappears. Private to
// engine/cfb.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

namespace msi::cfb {

// A failed system call; `what` says what was being done, errno says why.
struct SystemFailure {
  std::string what;
  int error = 0;
  std::string message() const;  // "<what>: <strerror>"
};

class FileDescriptor {
 public:
  FileDescriptor() = default;
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor();
  FileDescriptor(FileDescriptor&& o) noexcept : fd_(o.release()) {}
  FileDescriptor& operator=(FileDescriptor&& o) noexcept;
  int get() const { return fd_; }
  int release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }
  // Closes now, reporting a failed close (which can carry a delayed write error).
  void close();

 private:
  int fd_ = -1;
};

// These throw SystemFailure.
void writeAt(int fd, std::uint64_t offset, const std::uint8_t* data, std::size_t size);
void syncData(int fd);

// Sequential writer with a buffer, for writing a whole new file.
class SequentialWriter {
 public:
  explicit SequentialWriter(int fd);
  void write(const std::uint8_t* data, std::size_t size);
  void zeros(std::size_t size);
  void flush();
  std::uint64_t written() const { return offset_ + buffer_.size(); }

 private:
  int fd_;
  std::uint64_t offset_ = 0;
  std::basic_string<std::uint8_t> buffer_;
};

// A new file beside `target`, named so it cannot collide, created with the permissions a new
// file would get (or the target's, when it exists). Unless commit() succeeds, the destructor
// removes it.
class TemporarySibling {
 public:
  explicit TemporarySibling(const std::filesystem::path& target);  // throws SystemFailure
  ~TemporarySibling();
  TemporarySibling(const TemporarySibling&) = delete;
  TemporarySibling& operator=(const TemporarySibling&) = delete;

  int fd() const { return fd_.get(); }
  const std::filesystem::path& path() const { return path_; }
  // Flushes to disk, renames over the target and makes the rename durable.
  void commit();

 private:
  std::filesystem::path target_;
  std::filesystem::path path_;
  FileDescriptor fd_;
  bool done_ = false;
};

}  // namespace msi::cfb
