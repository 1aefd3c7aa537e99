// Packages as other programs leave them on disk: shortened while we read them, or with a
// short last sector, as several authoring tools write them.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "engine/db/database.h"
#include "tests/support/error_text.h"
#include "tests/support/msitools.h"
#include "tests/support/fixtures.h"

namespace {

using namespace fennick::test;
namespace fs = std::filesystem;

// Reads every cell of every table; returns the first error, or "" when all read.
std::string readEveryTable(msi::Database& db) {
  return errorOf([&] {
    for (const auto& name : db.tableNames()) {
      const msi::Table& t = db.table(name);
      for (std::size_t r = 0; r < t.size(); ++r)
        for (const auto& cell : t.row(r)) (void)cell.text();
    }
  });
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
    EXPECT_TRUE(holds(readEveryTable(*db), {pkg.string(), "shortened"}));
  }
}

TEST(FileOnDisk, InPlaceCommitIntoAFileWithAShortLastSector) {
  FENNICK_REQUIRE_MSITOOLS();
  // Packages whose last sector ends in zeros past the last stream, with 512- and 4096-byte
  // sectors.
  for (const std::string name :
       {"ui-vsinstaller-winget/AppInstallerTestMsiInstaller.msi", "noui-wix37-with-transforms-psmsi/Example.msi"}) {
    SCOPED_TRACE(name);
    const fs::path pkg = scratchDir() / "short.msi";
    fs::copy_file(fixture(name), pkg);
    // Drop the zeros that end the last sector (all but one byte of it, when it is all zeros).
    std::string bytes;
    {
      std::ifstream in(pkg, std::ios::binary);
      bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    ASSERT_GT(bytes.size(), 512u);
    const std::uintmax_t sectorSize = std::uintmax_t{1} << static_cast<unsigned char>(bytes[30]);
    std::uintmax_t size = bytes.size();
    while (size > bytes.size() - sectorSize + 1 && bytes[size - 1] == 0) --size;
    ASSERT_NE(size % sectorSize, 0u) << "the last sector ends in data: pick another package";
    fs::resize_file(pkg, size);
    const auto tablesBefore = msiinfoTables(pkg);
    const auto filesBefore = msiinfoRows(pkg, "File");
    // Still the same package to msitools.
    ASSERT_EQ(tablesBefore, msiinfoTables(fixture(name)));
    ASSERT_EQ(filesBefore, msiinfoRows(fixture(name), "File"));

    {
      auto db = msi::Database::open(pkg, msi::OpenMode::Transact);
      msi::Table& props = db->table("Property");
      msi::Row row = props.row(0);
      row[1] = msi::Value("set in a file with a short last sector");
      props.update(0, row);
      db->commit();
    }
    EXPECT_EQ(fs::file_size(pkg) % sectorSize, 0u);
    bool found = false;
    for (const auto& cells : msiinfoRows(pkg, "Property"))
      found = found || (cells.size() == 2 && cells[1] == "set in a file with a short last sector");
    EXPECT_TRUE(found);
    EXPECT_EQ(msiinfoTables(pkg), tablesBefore);
    EXPECT_EQ(msiinfoRows(pkg, "File"), filesBefore);
  }
}

}  // namespace
