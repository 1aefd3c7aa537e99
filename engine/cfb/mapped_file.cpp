#include "engine/cfb/mapped_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

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

MappedFile::MappedFile(const std::filesystem::path& path) {
  const auto fail = [&](const std::string& what) {
    throw Error(path.string() + ": " + what + ": " + std::strerror(errno));
  };
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) fail("cannot open");
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    const int saved = errno;
    ::close(fd);
    errno = saved;
    fail("cannot examine");
  }
  if (!S_ISREG(st.st_mode)) {
    ::close(fd);
    throw Error(path.string() + ": not a regular file");
  }
  identity_ = identityOf(st);
  size_ = static_cast<std::size_t>(st.st_size);
  if (size_ == 0) {
    ::close(fd);
    throw Error(path.string() + ": file is empty, not a compound file");
  }
  // A private read-only mapping: we never write through it, and nothing is locked.
  void* p = ::mmap(nullptr, size_, PROT_READ, MAP_PRIVATE, fd, 0);
  const int saved = errno;
  ::close(fd);
  if (p == MAP_FAILED) {
    errno = saved;
    fail("cannot map");
  }
  data_ = static_cast<const std::uint8_t*>(p);
}

MappedFile::~MappedFile() {
  if (data_) ::munmap(const_cast<std::uint8_t*>(data_), size_);
}

}  // namespace msi::cfb
