#include "src/driver/output_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/syscall.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <random>
#include <stdexcept>

namespace fennick::driver {
namespace {

namespace fs = std::filesystem;

// Temporary outputs in flight, removed by the signal handler. Plain arrays: a handler may
// only touch memory that needs no allocation.
constexpr std::size_t kSlots = 4;
constexpr std::size_t kPathMax = 4096;
char g_pending[kSlots][kPathMax];
std::atomic<bool> g_used[kSlots];

// A private folder whose temporary files ("*.tmp") belong to this run while it is set.
char g_scratch[kPathMax];
std::atomic<bool> g_scratchSet{false};

// Only system calls here: a handler may not allocate or take locks.
void RemoveScratchTemporaries() {
  const int dir = ::open(g_scratch, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir < 0) return;
  alignas(8) char buffer[8192];
  for (;;) {
    const long n = ::syscall(SYS_getdents64, dir, buffer, sizeof buffer);
    if (n <= 0) break;
    for (long at = 0; at < n;) {
      struct Entry {
        std::uint64_t inode;
        std::int64_t offset;
        unsigned short length;
        unsigned char type;
        char name[1];
      };
      const auto* entry = reinterpret_cast<const Entry*>(buffer + at);
      const std::size_t size = std::strlen(entry->name);
      if (entry->type == DT_REG && size > 4 && std::memcmp(entry->name + size - 4, ".tmp", 4) == 0)
        ::unlinkat(dir, entry->name, 0);
      at += entry->length;
    }
  }
  ::close(dir);
}

extern "C" void RemovePendingAndDie(int signal) {
  for (std::size_t i = 0; i < kSlots; ++i)
    if (g_used[i].load()) ::unlink(g_pending[i]);
  if (g_scratchSet.load()) RemoveScratchTemporaries();
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}

void InstallHandlers() {
  static const bool installed = [] {
    struct sigaction action {};
    action.sa_handler = RemovePendingAndDie;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
      struct sigaction previous {};
      // A signal the caller chose to ignore stays ignored.
      if (sigaction(signal, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN) continue;
      sigaction(signal, &action, nullptr);
    }
    return true;
  }();
  (void)installed;
}

std::runtime_error Failure(const std::string& path, const std::string& cause) {
  return std::runtime_error(path + ": " + cause);
}

// A new file beside the target: exclusive, so nothing planted there is followed or reused.
class PendingFile {
 public:
  explicit PendingFile(const std::string& target) : target_(target) {
    InstallHandlers();
    const fs::path parent = fs::path(target).parent_path();
    const std::string folder = parent.empty() ? std::string(".") : parent.string();
    const std::string base = fs::path(target).filename().string();
    std::random_device seed;
    std::mt19937_64 random(seed());
    for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
      char suffix[17];
      std::snprintf(suffix, sizeof suffix, "%016llx", static_cast<unsigned long long>(random()));
      path_ = folder + "/." + base + "." + suffix + ".tmp";
      if (path_.size() >= kPathMax) throw Failure(target, "the path is too long");
      Claim();
      fd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
      if (fd_ < 0) {
        const int error = errno;
        Release();
        if (error != EEXIST) throw Failure(target, std::string("cannot be written: ") + std::strerror(error));
      }
    }
    if (fd_ < 0) throw Failure(target, "cannot be written: no free temporary name beside it");
    // An existing target keeps its permissions.
    struct stat existing {};
    if (::stat(target.c_str(), &existing) == 0 && S_ISREG(existing.st_mode))
      ::fchmod(fd_, existing.st_mode & 07777);
  }
  ~PendingFile() {
    if (fd_ >= 0) ::close(fd_);
    if (!done_) ::unlink(path_.c_str());
    Release();
  }
  PendingFile(const PendingFile&) = delete;
  PendingFile& operator=(const PendingFile&) = delete;

  void Write(const char* data, std::size_t size) {
    while (size > 0) {
      const ssize_t n = ::write(fd_, data, size);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) throw Failure(target_, std::string("cannot be written: ") + std::strerror(errno));
      data += n;
      size -= static_cast<std::size_t>(n);
    }
  }

  void Commit() {
    if (::fsync(fd_) != 0) throw Failure(target_, std::string("cannot be written: ") + std::strerror(errno));
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) throw Failure(target_, std::string("cannot be written: ") + std::strerror(errno));
    if (::rename(path_.c_str(), target_.c_str()) != 0)
      throw Failure(target_, std::string("cannot be replaced: ") + std::strerror(errno));
    done_ = true;
    const fs::path parent = fs::path(target_).parent_path();
    const int dir = ::open(parent.empty() ? "." : parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
      ::fsync(dir);
      ::close(dir);
    }
  }

 private:
  void Claim() {
    for (std::size_t i = 0; i < kSlots; ++i) {
      bool expected = false;
      if (!g_used[i].load()) {
        std::memcpy(g_pending[i], path_.c_str(), path_.size() + 1);
        if (g_used[i].compare_exchange_strong(expected, true)) {
          slot_ = static_cast<int>(i);
          return;
        }
      }
    }
  }
  void Release() {
    if (slot_ >= 0) g_used[slot_].store(false);
    slot_ = -1;
  }

  std::string target_;
  std::string path_;
  int fd_ = -1;
  int slot_ = -1;
  bool done_ = false;
};

}  // namespace

ScratchCleanup::ScratchCleanup(const std::string& folder) {
  if (folder.size() >= kPathMax) return;
  InstallHandlers();
  std::memcpy(g_scratch, folder.c_str(), folder.size() + 1);
  g_scratchSet.store(true);
}

ScratchCleanup::~ScratchCleanup() { g_scratchSet.store(false); }

std::string OutputRefusal(const std::string& path, const std::vector<std::string>& inputs) {
  if (path.empty()) return "no file name was given";
  struct stat target {};
  if (::stat(path.c_str(), &target) != 0) {
    if (errno == ENOENT) return {};
    return path + ": cannot be examined: " + std::strerror(errno);
  }
  if (S_ISDIR(target.st_mode)) return path + ": is a folder; choose a file name";
  if (!S_ISREG(target.st_mode)) return path + ": is not a regular file (a device, pipe or socket); choose a file name";
  for (const std::string& input : inputs) {
    struct stat other {};
    if (!input.empty() && ::stat(input.c_str(), &other) == 0 && other.st_dev == target.st_dev &&
        other.st_ino == target.st_ino)
      return path + ": is " + input + ", which this run reads; choose another file name";
  }
  return {};
}

void WriteFileAtomically(const std::string& path, std::string_view bytes) {
  PendingFile file(path);
  file.Write(bytes.data(), bytes.size());
  file.Commit();
}

}  // namespace fennick::driver
