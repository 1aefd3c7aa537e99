#include "engine/cfb/file_output.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>

namespace msi::cfb {

std::string SystemFailure::message() const { return what + ": " + std::strerror(error); }

namespace {
[[noreturn]] void failWith(const std::string& what) { throw SystemFailure{what, errno}; }
}  // namespace

FileDescriptor::~FileDescriptor() {
  if (fd_ >= 0) ::close(fd_);
}

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& o) noexcept {
  if (this != &o) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = o.release();
  }
  return *this;
}

void FileDescriptor::close() {
  const int fd = release();
  if (fd >= 0 && ::close(fd) != 0 && errno != EINTR) failWith("cannot close");
}

void writeAt(int fd, std::uint64_t offset, const std::uint8_t* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = ::pwrite(fd, data, size, static_cast<off_t>(offset));
    if (n < 0) {
      if (errno == EINTR) continue;
      failWith("cannot write");
    }
    if (n == 0) {
      errno = EIO;
      failWith("cannot write");
    }
    data += n;
    size -= static_cast<std::size_t>(n);
    offset += static_cast<std::uint64_t>(n);
  }
}

void syncData(int fd) {
  if (::fdatasync(fd) != 0) failWith("cannot flush to disk");
}

SequentialWriter::SequentialWriter(int fd) : fd_(fd) { buffer_.reserve(1 << 20); }

void SequentialWriter::write(const std::uint8_t* data, std::size_t size) {
  if (buffer_.size() + size > buffer_.capacity()) flush();
  if (size >= buffer_.capacity()) {
    writeAt(fd_, offset_, data, size);
    offset_ += size;
    return;
  }
  buffer_.append(data, size);
}

void SequentialWriter::zeros(std::size_t size) {
  static constexpr std::uint8_t kZeros[4096] = {};
  while (size > 0) {
    const std::size_t n = std::min(size, sizeof kZeros);
    write(kZeros, n);
    size -= n;
  }
}

void SequentialWriter::flush() {
  if (buffer_.empty()) return;
  writeAt(fd_, offset_, buffer_.data(), buffer_.size());
  offset_ += buffer_.size();
  buffer_.clear();
}

TemporarySibling::TemporarySibling(const std::filesystem::path& target) : target_(target) {
  struct stat st {};
  const bool exists = ::stat(target.c_str(), &st) == 0;
  std::random_device random;
  const std::filesystem::path dir = target.has_parent_path() ? target.parent_path() : ".";
  for (int attempt = 0; attempt < 100; ++attempt) {
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, ".%08x.tmp", static_cast<unsigned>(random()));
    path_ = dir / ("." + target.filename().string() + suffix);
    // 0666 lets the umask decide, as for any new file.
    const int fd = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
      fd_ = FileDescriptor(fd);
      if (exists && ::fchmod(fd, st.st_mode & 0777) != 0) {
        const int saved = errno;
        ::unlink(path_.c_str());
        errno = saved;
        failWith("cannot set permissions of a temporary file");
      }
      return;
    }
    if (errno != EEXIST) failWith("cannot create a temporary file in " + dir.string());
  }
  failWith("cannot create a temporary file in " + dir.string());
}

TemporarySibling::~TemporarySibling() {
  if (done_) return;
  fd_ = FileDescriptor();
  ::unlink(path_.c_str());
}

void TemporarySibling::commit() {
  syncData(fd_.get());
  fd_.close();
  if (::rename(path_.c_str(), target_.c_str()) != 0) failWith("cannot rename the temporary file");
  done_ = true;
  // Make the rename itself durable; the new content is already in place, so a failure here
  // is not reported as a failed commit.
  const std::filesystem::path dir = target_.has_parent_path() ? target_.parent_path() : ".";
  const int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dfd >= 0) {
    ::fsync(dfd);
    ::close(dfd);
  }
}

}  // namespace msi::cfb
