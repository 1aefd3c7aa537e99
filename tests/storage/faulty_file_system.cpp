#include "tests/storage/faulty_file_system.h"

namespace storagetest {
namespace {

using msi::cfb::FileIdentity;
using msi::cfb::FileSystem;
using msi::cfb::WritableFile;
using Verdict = FaultyFileSystem::Verdict;

class FaultyFile final : public WritableFile {
 public:
  FaultyFile(FaultyFileSystem& owner, std::unique_ptr<WritableFile> real) : owner_(owner), real_(std::move(real)) {}

  int writeAt(std::uint64_t offset, const std::uint8_t* data, std::size_t size) override {
    switch (owner_.next()) {
      case Verdict::Pass:
        return real_->writeAt(offset, data, size);
      case Verdict::Fail:
        real_->writeAt(offset, data, size / 2);
        return owner_.error();
      case Verdict::Drop:
        return 0;
    }
    return 0;
  }
  int sync() override { return pass([&] { return real_->sync(); }); }
  int truncate(std::uint64_t size) override { return pass([&] { return real_->truncate(size); }); }
  int setModified(std::int64_t ns) override { return pass([&] { return real_->setModified(ns); }); }
  int identify(FileIdentity& out) override { return real_->identify(out); }
  int close() override { return real_->close(); }

 private:
  template <typename Call>
  int pass(const Call& call) {
    switch (owner_.next()) {
      case Verdict::Pass:
        return call();
      case Verdict::Fail:
        return owner_.error();
      case Verdict::Drop:
        return 0;
    }
    return 0;
  }

  FaultyFileSystem& owner_;
  std::unique_ptr<WritableFile> real_;
};

}  // namespace

FaultyFileSystem::Verdict FaultyFileSystem::next() {
  const std::size_t index = count_++;
  if (fault_ == Fault::None || index < at_) return Verdict::Pass;
  if (index == at_) struck_ = true;
  if (fault_ == Fault::Stop) return Verdict::Drop;
  return index == at_ ? Verdict::Fail : Verdict::Pass;
}

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
  const Verdict v = next();
  return v == Verdict::Pass ? FileSystem::system().rename(from, to) : v == Verdict::Fail ? error_ : 0;
}

// Removing is how a failed write cleans up, so it is not a counted write; after a stop it
// reaches nothing, like everything else.
int FaultyFileSystem::remove(const std::filesystem::path& path) {
  if (fault_ == Fault::Stop && struck_) return 0;
  return FileSystem::system().remove(path);
}

int FaultyFileSystem::syncFolder(const std::filesystem::path& folder) {
  const Verdict v = next();
  return v == Verdict::Pass ? FileSystem::system().syncFolder(folder) : v == Verdict::Fail ? error_ : 0;
}

}  // namespace storagetest
