// The Windows side of ReadOnlyFile (read_only_file.cpp is the POSIX one): positioned reads
// through a handle that shares read, write and delete, so that the package stays free for
// other programs, and a file cut short meanwhile is an Error, as there.
#ifdef _WIN32
#include <windows.h>

#include <cstring>

#include "engine/cfb/compound_file.h"
#include "engine/cfb/read_only_file.h"
#include "engine/cfb/windows_error.h"

namespace msi::cfb {
namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

FileIdentity identityOf(const BY_HANDLE_FILE_INFORMATION& info) {
  FileIdentity id;
  id.device = info.dwVolumeSerialNumber;
  id.inode = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  id.size = (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  id.modifiedNs = unixNsFromFileTime((static_cast<std::uint64_t>(info.ftLastWriteTime.dwHighDateTime) << 32) |
                                     info.ftLastWriteTime.dwLowDateTime);
  return id;
}

std::string cause(unsigned long error) { return std::strerror(errnoFromWindows(error)); }

}  // namespace

bool identify(const std::filesystem::path& path, FileIdentity& out) {
  // No access asked for: only the file's attributes are read. Folders need backup semantics.
  const HANDLE handle = ::CreateFileW(path.c_str(), 0, kShareAll, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                                     nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION info{};
  const bool ok = ::GetFileInformationByHandle(handle, &info);
  ::CloseHandle(handle);
  if (ok) out = identityOf(info);
  return ok;
}

ReadOnlyFile::ReadOnlyFile(const std::filesystem::path& path) : name_(path.string()) {
  const auto fail = [&](const std::string& what, unsigned long error) {
    if (handle_) ::CloseHandle(handle_);
    handle_ = nullptr;
    throw Error(name_ + ": " + what + (error ? ": " + cause(error) : ""));
  };
  HANDLE handle = ::CreateFileW(path.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) fail("cannot open", ::GetLastError());
  handle_ = handle;
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(handle, &info)) fail("cannot examine", ::GetLastError());
  if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || ::GetFileType(handle) != FILE_TYPE_DISK)
    fail("not a regular file", 0);
  identity_ = identityOf(info);
  if (identity_.size == 0) fail("file is empty, not a compound file", 0);
}

ReadOnlyFile::~ReadOnlyFile() {
  if (handle_) ::CloseHandle(handle_);
}

void ReadOnlyFile::read(std::uint64_t offset, std::uint8_t* out, std::size_t length) const {
  while (length > 0) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    const DWORD chunk = length > 0x40000000 ? 0x40000000 : static_cast<DWORD>(length);
    DWORD got = 0;
    if (!::ReadFile(handle_, out, chunk, &got, &at)) {
      const unsigned long error = ::GetLastError();
      if (error != ERROR_HANDLE_EOF)
        throw Error(name_ + ": cannot read at byte " + std::to_string(offset) + ": " + cause(error));
      got = 0;
    }
    if (got == 0)
      throw Error(name_ + ": the file now ends before byte " + std::to_string(offset + 1) + " (it had " +
                  std::to_string(identity_.size) +
                  " bytes when opened): another program shortened it while it was being read");
    out += got;
    length -= got;
    offset += got;
  }
}

}  // namespace msi::cfb

#endif  // _WIN32
