#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <thread>

#include "src/driver/output_file.h"
#include "src/installer/installer.h"
#include "src/transform/transform.h"

namespace fennick::transform {
namespace {

std::string FromEnvironment(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

// The folder must be ours alone: a directory (not a link to one), owned by this user, with
// no access for anyone else. Otherwise another user could plant or read the scratch files.
void CheckPrivate(const std::string& folder) {
  struct stat info {};
  if (::lstat(folder.c_str(), &info) != 0)
    throw installer::Error(folder + ": the scratch folder cannot be examined: " + std::strerror(errno));
  if (S_ISLNK(info.st_mode)) throw installer::Error(folder + ": the scratch folder is a symbolic link; remove it");
  if (!S_ISDIR(info.st_mode)) throw installer::Error(folder + ": the scratch folder is not a folder; remove it");
  if (info.st_uid != ::getuid())
    throw installer::Error(folder + ": the scratch folder belongs to another user; remove it or set TMPDIR");
  if ((info.st_mode & 077) != 0)
    throw installer::Error(folder + ": the scratch folder is open to other users (mode " +
                           std::to_string(info.st_mode & 0777) + " octal " +
                           [&] {
                             char text[8];
                             std::snprintf(text, sizeof text, "%03o", info.st_mode & 0777);
                             return std::string(text);
                           }() +
                           "); run chmod 700 on it");
}

}  // namespace

std::string GetTempFolder() {
  // $XDG_RUNTIME_DIR/fennick, else fennick-UID in TMPDIR (an empty TMPDIR counts as unset),
  // else in the system's temp folder.
  std::string folder;
  if (const std::string runtime = FromEnvironment("XDG_RUNTIME_DIR"); !runtime.empty()) {
    folder = runtime + "/fennick";
  } else {
    std::string base = FromEnvironment("TMPDIR");
    if (base.empty()) base = "/tmp";
    while (base.size() > 1 && base.back() == '/') base.pop_back();
    folder = base + "/fennick-" + std::to_string(::getuid());
  }
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
    throw installer::Error(folder + ": the scratch folder cannot be created: " + std::strerror(errno));
  CheckPrivate(folder);
  return folder + '/';
}

ScratchLock::ScratchLock(const std::string& folder, std::ostream& err) : folder_(folder) {
  const std::string path = folder + "lock";
  fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd_ < 0) throw installer::Error(path + ": cannot be opened: " + std::strerror(errno));
  const auto start = std::chrono::steady_clock::now();
  bool told = false;
  while (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
    if (errno != EWOULDBLOCK && errno != EINTR) {
      const int error = errno;
      ::close(fd_);
      throw installer::Error(path + ": cannot be locked: " + std::strerror(error));
    }
    if (!told && std::chrono::steady_clock::now() - start > std::chrono::seconds(2)) {
      err << "fennick: waiting for another run to finish its transform in " << folder << std::endl;
      told = true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  // Held by us now: temporary files there are ours (or left by a run that was killed).
  cleanup_.emplace(folder_);
}

ScratchLock::~ScratchLock() {
  cleanup_.reset();            // before the lock goes: the files are then another run's
  if (fd_ >= 0) ::close(fd_);  // closing releases the lock
}

}  // namespace fennick::transform
