// The engine backend of the installer interface: maps the tool's calls onto engine/.
#include <sys/stat.h>

#include <cstring>
#include <optional>
#include <vector>
#include <filesystem>
#include <fstream>

#include "engine/db/database.h"
#include "src/installer/engine_database.h"
#include "src/installer/engine_installer.h"
#include "src/installer/engine_session.h"
#include "src/installer/installer.h"

namespace fennick::installer {
namespace {

namespace fs = std::filesystem;

// Refuses what is certainly not a package, naming the path and the cause.
void CheckPackageFile(std::string_view packagePath) {
  if (packagePath.empty()) throw Error("no package path was given", 1619);
  const fs::path path{std::string(packagePath)};
  std::error_code ec;
  const auto status = fs::status(path, ec);
  if (ec || !fs::exists(status)) throw Error(std::string(packagePath) + ": no such file", 1619);
  if (fs::is_directory(status)) throw Error(std::string(packagePath) + ": is a folder, not a package", 1619);
  std::ifstream in(path, std::ios::binary);
  if (!in) throw Error(std::string(packagePath) + ": cannot be read: " + std::strerror(errno), 1619);
  static constexpr unsigned char kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
  unsigned char head[8] = {};
  in.read(reinterpret_cast<char*>(head), sizeof head);
  if (in.gcount() != sizeof head || std::memcmp(head, kSignature, sizeof head) != 0)
    throw Error(std::string(packagePath) + ": not an installer package (no compound-file signature)", 1620);
}

class EngineInstaller final : public Installer {
 public:
  explicit EngineInstaller(EngineSetup setup) : setup_(setup) {}
  void UILevel(int level) override { uiLevel_ = level; }

  std::shared_ptr<installer::Session> OpenPackage(std::string_view packagePath, int) override {
    CheckPackageFile(packagePath);
    return OpenEngineSession(packagePath, uiLevel_, setup_,
                             [this](const std::string& path) { return openReadOnly(path, true).first; });
  }

  std::shared_ptr<installer::Session> OpenPackage(installer::Database& database, int) override {
    return OpenEngineSession(UnwrapShared(database), uiLevel_, setup_);
  }

  std::shared_ptr<installer::Record> CreateRecord(int fields) override { return NewRecord(fields); }

  std::shared_ptr<installer::Database> OpenDatabase(std::string_view path, int openMode) override {
    if (openMode < 0 || openMode > 4)
      throw Error(std::string(path) + ": open mode " + std::to_string(openMode) + " is not supported", 87);
    return Translate([&] {
      if (openMode == kOpenReadOnly) {
        auto [db, shared] = openReadOnly(std::string(path), false);
        return shared ? WrapSharedDatabase(std::move(db), std::string(path)) : WrapDatabase(std::move(db));
      }
      return WrapDatabase(msi::Database::open(std::string(path), static_cast<msi::OpenMode>(openMode)));
    }, 110);
  }

 private:
  // A file as it stood when it was read: the same stamp later means the same content.
  struct FileStamp {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{};
    bool operator==(const FileStamp& o) const {
      return device == o.device && inode == o.inode && size == o.size && modified.tv_sec == o.modified.tv_sec &&
             modified.tv_nsec == o.modified.tv_nsec;
    }
  };
  static std::optional<FileStamp> stampOf(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return std::nullopt;
    return FileStamp{st.st_dev, st.st_ino, st.st_size, st.st_mtim};
  }
  struct ReadOnlyFile {
    std::string path;
    FileStamp stamp;
    std::weak_ptr<msi::Database> database;
  };

  // A read-only open of a file that a database this installer opened read-only for a session
  // still holds, unchanged since, shares that database (a run opens its package for the
  // session, then to copy it and to compare with it): the package is read into memory once.
  // Only databases with no temporary tables are shared; the handle given for a shared one
  // reads its own copy before anything could change it. Returns the database and whether it
  // is shared. `forSession`: the database is a session's, which never changes it.
  std::pair<std::shared_ptr<msi::Database>, bool> openReadOnly(const std::string& path, bool forSession) {
    const auto stamp = stampOf(path);
    std::erase_if(readOnly_, [](const ReadOnlyFile& f) { return f.database.expired(); });
    if (stamp) {
      for (const ReadOnlyFile& f : readOnly_) {
        if (f.path != path || !(f.stamp == *stamp)) continue;
        std::shared_ptr<msi::Database> shared = f.database.lock();
        if (!shared || !OnlyPersistentTables(*shared)) continue;
        return {shared, true};
      }
    }
    std::shared_ptr<msi::Database> db = msi::Database::open(path, msi::OpenMode::ReadOnly);
    // A file that changed while it was read is not offered to later opens.
    if (forSession && stamp && stampOf(path) == stamp) readOnly_.push_back({path, *stamp, db});
    return {db, false};
  }
  static bool OnlyPersistentTables(msi::Database& db) {
    for (const std::string& name : db.tableNames())
      if (!db.isPersistent(name)) return false;
    return true;
  }

  std::vector<ReadOnlyFile> readOnly_;
  EngineSetup setup_;
  int uiLevel_ = kUILevelFull;
};

}  // namespace

std::shared_ptr<Installer> CreateEngineInstaller(EngineSetup setup) { return std::make_shared<EngineInstaller>(setup); }

std::shared_ptr<Installer> CreateInstaller() { return CreateEngineInstaller({}); }

}  // namespace fennick::installer
