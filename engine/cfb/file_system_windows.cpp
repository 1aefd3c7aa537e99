// The Windows side of the file seam: the same contract as file_system.cpp over the Win32
// file calls. Files are opened sharing read, write and delete, so that a reader elsewhere
// never stops a rename over the file, as on POSIX.
#ifdef _WIN32
#include <windows.h>

#include <cerrno>

#include "engine/cfb/file_system.h"
#include "engine/cfb/windows_error.h"

namespace msi::cfb {

int errnoFromWindows(unsigned long error) {
  switch (error) {
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: return EEXIST;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE: return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT: return EACCES;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION: return EBUSY;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return ENOSPC;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY: return ENOMEM;
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_INVALID_PARAMETER: return EINVAL;
    case ERROR_FILENAME_EXCED_RANGE: return ENAMETOOLONG;
    case ERROR_DIRECTORY: return ENOTDIR;
    case ERROR_NOT_SAME_DEVICE: return EXDEV;
    default: return EIO;
  }
}

namespace {

constexpr std::int64_t kEpochDifference100ns = 116444736000000000LL;  // 1601 to 1970

}  // namespace

std::int64_t unixNsFromFileTime(std::uint64_t fileTime) {
  return (static_cast<std::int64_t>(fileTime) - kEpochDifference100ns) * 100;
}

std::uint64_t fileTimeFromUnixNs(std::int64_t ns) {
  return static_cast<std::uint64_t>(ns / 100 + kEpochDifference100ns);
}

namespace {

int lastError() { return errnoFromWindows(::GetLastError()); }
int errorUnless(BOOL ok) { return ok ? 0 : lastError(); }

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

class SystemFile final : public WritableFile {
 public:
  explicit SystemFile(HANDLE handle) : handle_(handle) {}
  ~SystemFile() override {
    if (handle_ != INVALID_HANDLE_VALUE) ::CloseHandle(handle_);
  }

  int writeAt(std::uint64_t offset, const std::uint8_t* data, std::size_t size) override {
    while (size > 0) {
      OVERLAPPED at{};
      at.Offset = static_cast<DWORD>(offset);
      at.OffsetHigh = static_cast<DWORD>(offset >> 32);
      const DWORD chunk = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
      DWORD written = 0;
      if (!::WriteFile(handle_, data, chunk, &written, &at)) return lastError();
      if (written == 0) return EIO;
      data += written;
      size -= written;
      offset += written;
    }
    return 0;
  }
  int sync() override { return errorUnless(::FlushFileBuffers(handle_)); }
  int truncate(std::uint64_t size) override {
    FILE_END_OF_FILE_INFO end{};
    end.EndOfFile.QuadPart = static_cast<LONGLONG>(size);
    return errorUnless(::SetFileInformationByHandle(handle_, FileEndOfFileInfo, &end, sizeof end));
  }
  int setModified(std::int64_t ns) override {
    const std::uint64_t time = fileTimeFromUnixNs(ns);
    FILETIME written{static_cast<DWORD>(time), static_cast<DWORD>(time >> 32)};
    return errorUnless(::SetFileTime(handle_, nullptr, nullptr, &written));
  }
  int identify(FileIdentity& out) override {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(handle_, &info)) return lastError();
    out.device = info.dwVolumeSerialNumber;
    out.inode = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    out.size = (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    out.modifiedNs = unixNsFromFileTime((static_cast<std::uint64_t>(info.ftLastWriteTime.dwHighDateTime) << 32) |
                                        info.ftLastWriteTime.dwLowDateTime);
    return 0;
  }
  int close() override {
    const HANDLE handle = handle_;
    handle_ = INVALID_HANDLE_VALUE;
    return handle == INVALID_HANDLE_VALUE ? 0 : errorUnless(::CloseHandle(handle));
  }

 private:
  HANDLE handle_;
};

class SystemFileSystem final : public FileSystem {
 public:
  // Windows has no permission bits beyond read-only; a new file gets what its folder gives.
  int create(const std::filesystem::path& path, std::optional<mode_t>, std::unique_ptr<WritableFile>& out) override {
    const HANDLE handle = ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, kShareAll, nullptr, CREATE_NEW,
                                       FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return lastError();
    out = std::make_unique<SystemFile>(handle);
    return 0;
  }
  int openExisting(const std::filesystem::path& path, std::unique_ptr<WritableFile>& out) override {
    const HANDLE handle = ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, kShareAll, nullptr, OPEN_EXISTING,
                                       FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return lastError();
    out = std::make_unique<SystemFile>(handle);
    return 0;
  }
  int rename(const std::filesystem::path& from, const std::filesystem::path& to) override {
    return errorUnless(::MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH));
  }
  int remove(const std::filesystem::path& path) override { return errorUnless(::DeleteFileW(path.c_str())); }
  // MOVEFILE_WRITE_THROUGH already made the rename durable; a folder cannot be flushed.
  int syncFolder(const std::filesystem::path&) override { return 0; }
};

}  // namespace

FileSystem& FileSystem::system() {
  static SystemFileSystem instance;
  return instance;
}

}  // namespace msi::cfb

#endif  // _WIN32
