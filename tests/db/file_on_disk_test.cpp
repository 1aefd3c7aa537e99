// Packages as other programs leave them on disk: shortened while we read them.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "engine/db/database.h"
#include "tests/db/msitools.h"
#include "tests/support/fixtures.h"

namespace {

using namespace fennick::test;
namespace fs = std::filesystem;

// Reads every cell of every table; returns the first error, or "" when all read.
std::string readEveryTable(msi::Database& db) {
  try {
    for (const auto& name : db.tableNames()) {
      const msi::Table& t = db.table(name);
      for (std::size_t r = 0; r < t.size(); ++r)
        for (const auto& cell : t.row(r)) (void)cell.text();
    }
  } catch (const msi::Error& e) {
    return e.what();
  }
  return "";
}

TEST(FileOnDisk, PackageShortenedWhileOpenGivesAnErrorNamingItNotACrash) {
  FENNICK_REQUIRE_FIXTURES();
  const fs::path source = fixture("ui-wix3-putty-installdir-featuretree/putty-0.68-installer.msi");
  // Cut inside the tables, just after the header, and to nothing.
  for (const std::uintmax_t size : {fs::file_size(source) / 2, std::uintmax_t{4096}, std::uintmax_t{0}}) {
    SCOPED_TRACE("shortened to " + std::to_string(size) + " bytes");
    const fs::path pkg = scratchDir() / "shortened.msi";
    fs::copy_file(source, pkg);
    auto db = msi::Database::open(pkg, msi::OpenMode::ReadOnly);
    fs::resize_file(pkg, size);
    const std::string error = readEveryTable(*db);
    EXPECT_NE(error.find(pkg.string()), std::string::npos) << error;
    EXPECT_NE(error.find("shortened"), std::string::npos) << error;
  }
}

}  // namespace
