// Walk files on disk. A walk is named on the command line, so whatever is named there is
// checked before it is read: only a regular file (or the null device, an empty walk), and only
// up to kWalkMaxFileBytes (a device or a FIFO would otherwise be read without end, or block).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>

#include "engine/dialogs/walk.h"

namespace msi::dialogs {
namespace {

class ReadOnlyFile {
 public:
  // Non-blocking, so that opening a FIFO with no writer returns at once; fstat then refuses it.
  explicit ReadOnlyFile(const std::filesystem::path& path)
      : fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY)) {}
  ~ReadOnlyFile() {
    if (fd_ >= 0) ::close(fd_);
  }
  ReadOnlyFile(const ReadOnlyFile&) = delete;
  ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;
  int fd() const { return fd_; }

 private:
  int fd_;
};

bool isNullDevice(const struct stat& st) {
  struct stat null {};
  return S_ISCHR(st.st_mode) && ::stat("/dev/null", &null) == 0 && S_ISCHR(null.st_mode) && st.st_rdev == null.st_rdev;
}

std::string readBounded(const std::filesystem::path& path) {
  const std::string name = path.string();
  const auto fail = [&](const std::string& cause) -> std::string { throw WalkError(name + ": " + cause); };
  const auto failErrno = [&](const char* what) { fail(std::string(what) + ": " + std::strerror(errno)); };
  const std::string tooLarge = "the walk file is larger than " + std::to_string(kWalkMaxFileBytes >> 20) + " MiB";

  ReadOnlyFile file(path);
  if (file.fd() < 0) failErrno("cannot open the walk file");
  struct stat st {};
  if (::fstat(file.fd(), &st) != 0) failErrno("cannot examine the walk file");
  if (S_ISDIR(st.st_mode)) fail("is a directory, not a walk file");
  if (isNullDevice(st)) return {};  // the usual way to say "no answers": an empty walk
  if (!S_ISREG(st.st_mode)) fail("is not a regular file; a walk is read from a regular file");
  if (static_cast<std::uintmax_t>(st.st_size) > kWalkMaxFileBytes) fail(tooLarge);

  // Read to the end, one byte past the bound, in case the file grew since fstat.
  std::string text(static_cast<std::size_t>(st.st_size) + 1, '\0');
  std::size_t have = 0;
  for (;;) {
    if (have == text.size()) {
      if (text.size() > kWalkMaxFileBytes) fail(tooLarge);
      text.resize(std::min(text.size() * 2, kWalkMaxFileBytes + 1));
    }
    const ssize_t got = ::read(file.fd(), text.data() + have, text.size() - have);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) failErrno("cannot read the walk file");
    if (got == 0) break;
    have += static_cast<std::size_t>(got);
  }
  if (have > kWalkMaxFileBytes) fail(tooLarge);
  text.resize(have);
  return text;
}

}  // namespace

Walk Walk::load(const std::filesystem::path& path) { return parse(readBounded(path), path.string()); }

void Walk::save(const std::filesystem::path& path) const {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text();
  out.flush();
  if (!out) throw WalkError(path.string() + ": cannot write the walk file");
}

}  // namespace msi::dialogs
