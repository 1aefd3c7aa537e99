#include "tests/storage/faulty_file_system.h"

namespace storagetest {
namespace {

using msi::cfb::FileIdentity;
using msi::cfb::FileSystem;
using msi::cfb::WritableFile;

class FaultyFile final : public WritableFile {
 public:
  FaultyFile(FaultyFileSystem& owner, std::unique_ptr<WritableFile> real) : owner_(owner), real_(std::move(real)) {}

  int writeAt(std::uint64_t offset, const std::uint8_t* data, std::size_t size) override {
    return owner_.call([&] { return real_->writeAt(offset, data, size); },
                       [&] { real_->writeAt(offset, data, size / 2); });
  }
  int sync() override { return owner_.call([&] { return real_->sync(); }); }
  int truncate(std::uint64_t size) override { return owner_.call([&] { return real_->truncate(size); }); }
  int setModified(std::int64_t ns) override { return owner_.call([&] { return real_->setModified(ns); }); }
  int identify(FileIdentity& out) override { return real_->identify(out); }
  int close() override { return real_->close(); }

 private:
  FaultyFileSystem& owner_;
  std::unique_ptr<WritableFile> real_;
};

}  // namespace

int FaultyFileSystem::wrap(int error, std::unique_ptr<WritableFile>& out) {
  if (error == 0) out = std::make_unique<FaultyFile>(*this, std::move(out));
  return error;
}

// Opening a file is passed on even after a stop: a new empty file is all it can leave behind.
int FaultyFileSystem::create(const std::filesystem::path& path, std::optional<mode_t> permissions,
                             std::unique_ptr<WritableFile>& out) {
  return wrap(FileSystem::system().create(path, permissions, out), out);
}

int FaultyFileSystem::openExisting(const std::filesystem::path& path, std::unique_ptr<WritableFile>& out) {
  return wrap(FileSystem::system().openExisting(path, out), out);
}

int FaultyFileSystem::rename(const std::filesystem::path& from, const std::filesystem::path& to) {
  return call([&] { return FileSystem::system().rename(from, to); });
}

// Removing is how a failed write cleans up, so it is not a counted write; after a stop it
// reaches nothing, like everything else.
int FaultyFileSystem::remove(const std::filesystem::path& path) {
  if (fault_ == Fault::Stop && struck_) return 0;
  return FileSystem::system().remove(path);
}

int FaultyFileSystem::syncFolder(const std::filesystem::path& folder) {
  return call([&] { return FileSystem::system().syncFolder(folder); });
}

}  // namespace storagetest
