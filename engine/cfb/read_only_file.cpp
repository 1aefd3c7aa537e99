#include "engine/cfb/read_only_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "engine/cfb/compound_file.h"

namespace msi::cfb {
namespace {

FileIdentity identityOf(const struct stat& st) {
  FileIdentity id;
  id.device = st.st_dev;
  id.inode = st.st_ino;
  id.size = static_cast<std::uint64_t>(st.st_size);
  id.modifiedNs = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  return id;
}

}  // namespace

bool identify(const std::filesystem::path& path, FileIdentity& out) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return false;
  out = identityOf(st);
  return true;
}

ReadOnlyFile::ReadOnlyFile(const std::filesystem::path& path) : name_(path.string()) {
  const auto fail = [&](const std::string& what, int error) {
    if (fd_ >= 0) ::close(fd_);
    throw Error(name_ + ": " + what + (error ? std::string(": ") + std::strerror(error) : ""),
                error == ENOENT || error == ENOTDIR ? ErrorKind::NotFound : ErrorKind::Io);
  };
  fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd_ < 0) fail("cannot open", errno);
  struct stat st {};
  if (::fstat(fd_, &st) != 0) fail("cannot examine", errno);
  if (!S_ISREG(st.st_mode)) fail("not a regular file", 0);
  identity_ = identityOf(st);
  if (identity_.size == 0) fail("file is empty, not a compound file", 0);
}

ReadOnlyFile::~ReadOnlyFile() {
  if (fd_ >= 0) ::close(fd_);
}

void ReadOnlyFile::read(std::uint64_t offset, std::uint8_t* out, std::size_t length) const {
  while (length > 0) {
    const ssize_t n = ::pread(fd_, out, length, static_cast<off_t>(offset));
    if (n < 0) {
      if (errno == EINTR) continue;
      throw Error(name_ + ": cannot read at byte " + std::to_string(offset) + ": " + std::strerror(errno), ErrorKind::Io);
    }
    if (n == 0)
      throw Error(name_ + ": the file now ends before byte " + std::to_string(offset + 1) + " (it had " +
                  std::to_string(identity_.size) +
                  " bytes when opened): another program shortened it while it was being read");
    out += n;
    length -= static_cast<std::size_t>(n);
    offset += static_cast<std::uint64_t>(n);
  }
}

}  // namespace msi::cfb
