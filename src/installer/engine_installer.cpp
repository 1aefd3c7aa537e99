// The engine backend of the installer interface: maps the tool's calls onto engine/.
#include <cstring>
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
    return OpenEngineSession(packagePath, uiLevel_, setup_);
  }

  std::shared_ptr<installer::Session> OpenPackage(installer::Database& database, int) override {
    return OpenEngineSession(UnwrapShared(database), uiLevel_, setup_);
  }

  std::shared_ptr<installer::Record> CreateRecord(int fields) override { return NewRecord(fields); }

  std::shared_ptr<installer::Database> OpenDatabase(std::string_view path, int openMode) override {
    if (openMode < 0 || openMode > 4)
      throw Error(std::string(path) + ": open mode " + std::to_string(openMode) + " is not supported", 87);
    return Translate([&] {
      std::shared_ptr<msi::Database> db =
          msi::Database::open(std::string(path), static_cast<msi::OpenMode>(openMode));
      return WrapDatabase(std::move(db));
    }, 110);
  }

 private:
  EngineSetup setup_;
  int uiLevel_ = kUILevelFull;
};

}  // namespace

std::shared_ptr<Installer> CreateEngineInstaller(EngineSetup setup) { return std::make_shared<EngineInstaller>(setup); }

std::shared_ptr<Installer> CreateInstaller() { return CreateEngineInstaller({}); }

}  // namespace fennick::installer
