// The operating system's side of the file seam: thin wrappers over the system calls.
#ifndef _WIN32  // the Windows side is in file_system_windows.cpp
#include "engine/cfb/file_system.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace msi::cfb {
namespace {

int errnoUnless(bool ok) { return ok ? 0 : errno; }

class SystemFile final : public WritableFile {
 public:
  explicit SystemFile(int fd) : fd_(fd) {}
  ~SystemFile() override {
    if (fd_ >= 0) ::close(fd_);
  }

  int writeAt(std::uint64_t offset, const std::uint8_t* data, std::size_t size) override {
    while (size > 0) {
      const ssize_t n = ::pwrite(fd_, data, size, static_cast<off_t>(offset));
      if (n < 0) {
        if (errno == EINTR) continue;
        return errno;
      }
      if (n == 0) return EIO;
      data += n;
      size -= static_cast<std::size_t>(n);
      offset += static_cast<std::uint64_t>(n);
    }
    return 0;
  }
  int sync() override { return errnoUnless(::fdatasync(fd_) == 0); }
  int truncate(std::uint64_t size) override { return errnoUnless(::ftruncate(fd_, static_cast<off_t>(size)) == 0); }
  int setModified(std::int64_t ns) override {
    const timespec times[2] = {{0, UTIME_OMIT}, {static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)}};
    return errnoUnless(::futimens(fd_, times) == 0);
  }
  int identify(FileIdentity& out) override {
    struct stat st {};
    if (::fstat(fd_, &st) != 0) return errno;
    out.device = st.st_dev;
    out.inode = st.st_ino;
    out.size = static_cast<std::uint64_t>(st.st_size);
    out.modifiedNs = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return 0;
  }
  int close() override {
    const int fd = fd_;
    fd_ = -1;
    // After EINTR the descriptor is gone on Linux; the data is not lost.
    return fd < 0 || ::close(fd) == 0 || errno == EINTR ? 0 : errno;
  }

 private:
  int fd_;
};

class SystemFileSystem final : public FileSystem {
 public:
  int create(const std::filesystem::path& path, std::optional<mode_t> permissions,
             std::unique_ptr<WritableFile>& out) override {
    // 0666 lets the umask decide, as for any new file.
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) return errno;
    out = std::make_unique<SystemFile>(fd);
    if (permissions && ::fchmod(fd, *permissions & 07777) != 0) {
      const int error = errno;
      out.reset();
      ::unlink(path.c_str());
      return error;
    }
    return 0;
  }
  int openExisting(const std::filesystem::path& path, std::unique_ptr<WritableFile>& out) override {
    const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) return errno;
    out = std::make_unique<SystemFile>(fd);
    return 0;
  }
  int rename(const std::filesystem::path& from, const std::filesystem::path& to) override {
    return errnoUnless(::rename(from.c_str(), to.c_str()) == 0);
  }
  int remove(const std::filesystem::path& path) override { return errnoUnless(::unlink(path.c_str()) == 0); }
  int syncFolder(const std::filesystem::path& folder) override {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return errno;
    const int error = errnoUnless(::fsync(fd) == 0);
    ::close(fd);
    return error;
  }
};

}  // namespace

FileSystem& FileSystem::system() {
  static SystemFileSystem instance;
  return instance;
}

}  // namespace msi::cfb

#endif  // _WIN32
