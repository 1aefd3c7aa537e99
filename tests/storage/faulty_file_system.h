// A file system for tests that passes every call to the system's until a chosen write, where
// it fails that write or stops the machine. "Writes" are the calls that change a file or make
// it durable (write, sync, truncate, set time, rename, folder sync), counted from 0.
#pragma once

#include <cerrno>
#include <cstddef>
#include <memory>
#include <optional>

#include "engine/cfb/file_system.h"

namespace storagetest {

class FaultyFileSystem final : public msi::cfb::FileSystem {
 public:
  enum class Fault {
    None,  // counts only
    Fail,  // the write fails with `error` (a failing data write first writes half its bytes,
           // as a disk that fills up mid-write does); later calls pass again
    Stop,  // the write and every later one report success and reach nothing, as if the
           // machine had stopped just before it
  };
  FaultyFileSystem() = default;
  FaultyFileSystem(Fault fault, std::size_t at, int error = ENOSPC) : fault_(fault), at_(at), error_(error) {}

  std::size_t writes() const { return count_; }
  // Whether the chosen write was reached.
  bool struck() const { return struck_; }

  int create(const std::filesystem::path& path, std::optional<mode_t> permissions,
             std::unique_ptr<msi::cfb::WritableFile>& out) override;
  int openExisting(const std::filesystem::path& path, std::unique_ptr<msi::cfb::WritableFile>& out) override;
  int rename(const std::filesystem::path& from, const std::filesystem::path& to) override;
  int remove(const std::filesystem::path& path) override;
  int syncFolder(const std::filesystem::path& folder) override;

  // Runs the next write: `write` when it passes; when it is the one to fail, `partial` (what a
  // failing write still does) and the error; after a stop, nothing.
  template <typename Write, typename Partial = void (*)()>
  int call(const Write& write, const Partial& partial = [] {}) {
    const std::size_t index = count_++;
    if (fault_ == Fault::None || index < at_) return write();
    if (index == at_) struck_ = true;
    if (fault_ == Fault::Stop) return 0;
    if (index != at_) return write();
    partial();
    return error_;
  }
  int error() const { return error_; }

 private:
  int wrap(int error, std::unique_ptr<msi::cfb::WritableFile>& out);

  Fault fault_ = Fault::None;
  std::size_t at_ = 0;
  int error_ = ENOSPC;
  std::size_t count_ = 0;
  bool struck_ = false;
};

}  // namespace storagetest
