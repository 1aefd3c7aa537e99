// A new database that reads its strings from the package it copies must write exactly the
// file a database holding its own copies writes, through the copy and the edits after it,
// and the package must go on working with its strings lent out. Commits into the package
// make its string data as they write it, or leave the stored data as it is when only
// reference counts changed: either way msitools must read every string where it was (a size
// announced ahead that the data does not fill, or stored data kept when it should have been
// written again, shows as texts that moved).
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "engine/db/database.h"
#include "engine/idt/idt.h"
#include "tests/support/db_builders.h"
#include "tests/support/fixtures.h"
#include "tests/support/msitools.h"

namespace {

using namespace fennick::test;
namespace fs = std::filesystem;

// Rows in key order: a copy stores them sorted, whatever order the package had.
std::vector<std::vector<std::string>> sortedRows(const fs::path& pkg, const std::string& table) {
  auto rows = msiinfoRows(pkg, table);
  std::sort(rows.begin(), rows.end());
  return rows;
}

std::string propertyValue(const fs::path& pkg, const std::string& name) {
  for (const auto& cells : msiinfoRows(pkg, "Property"))
    if (cells.size() == 2 && cells[0] == name) return cells[1];
  return "<absent>";
}

TEST(SharedStrings, CopyReadingThePackagesStringsWritesTheSameFile) {
  FENNICK_REQUIRE_MSITOOLS();
  const fs::path pkg = scratchCopy("ui-wix3-putty-installdir-featuretree/putty-0.68-installer.msi", "package.msi");
  const fs::path dir = pkg.parent_path();
  auto package = msi::Database::open(pkg, msi::OpenMode::Transact);
  auto own = msi::Database::open(dir / "own.msi", msi::OpenMode::Create);
  auto lent = msi::Database::open(dir / "lent.msi", msi::OpenMode::Create);
  lent->shareStrings(*package);
  for (const std::string& name : package->tableNames()) {
    if (!package->isPersistent(name)) continue;
    msi::idt::exportTable(*package, name, dir, "table.idt");
    msi::idt::importTable(*own, dir, "table.idt");
    msi::idt::importTable(*lent, dir, "table.idt");
  }
  // The same edits on both: strings new to the package, strings it holds, strings let go of
  // by the commit and then asked for again.
  struct Step {
    const char* what;
    std::function<void(msi::Database&)> edit;
  } steps[] = {
      {"the copy", [](msi::Database&) {}},
      {"a new string", [](msi::Database& db) { setProperty(db, "ProductName", "Shared strings"); }},
      {"a string the package holds", [](msi::Database& db) { setProperty(db, "ARPCOMMENTS", "installericon.exe"); }},
      {"a row removed", [](msi::Database& db) {
         msi::Table& t = db.table("Property");
         const auto at = t.find(msi::Row{msi::Value("ARPNOMODIFY")});
         ASSERT_TRUE(at);
         t.erase(*at);
       }},
      {"a released string again", [](msi::Database& db) {
         setProperty(db, "ARPCOMMENTS", "PuTTY release 0.68");
         setProperty(db, "ProductName", "Shared strings again");
       }},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.what);
    step.edit(*own);
    step.edit(*lent);
    own->commit();
    lent->commit();
    EXPECT_TRUE(ReadText(dir / "lent.msi") == ReadText(dir / "own.msi")) << "the two files differ";
  }
  EXPECT_EQ(propertyValue(dir / "lent.msi", "ProductName"), "Shared strings again");
  EXPECT_TRUE(sortedRows(dir / "lent.msi", "Control") == sortedRows(pkg, "Control"));
  // The package, its strings lent out, goes on committing: strings new to it, a row made of
  // strings it holds and goes on holding (only counts change), a string let go of.
  const auto control = msiinfoRows(pkg, "Control");
  const std::string dialog = package->table("Dialog").row(0)[0].text();
  const std::string product = "PuTTY release 0.68";
  struct Change {
    const char* what;
    std::function<void(msi::Database&)> edit;
    std::vector<std::string> expect;  // the Property row msitools must read afterwards
  } changes[] = {
      {"a new string", [](msi::Database& d) { setProperty(d, "FennickNote", "written as it is made"); },
       {"FennickNote", "written as it is made"}},
      {"counts only", [&](msi::Database& d) { setProperty(d, dialog, product); }, {dialog, product}},
      {"a string let go of", [&](msi::Database& d) { setProperty(d, "FennickNote", product); },
       {"FennickNote", product}},
  };
  for (const Change& change : changes) {
    SCOPED_TRACE(change.what);
    change.edit(*package);
    package->commit();
    const auto properties = msiinfoRows(pkg, "Property");
    EXPECT_NE(std::find(properties.begin(), properties.end(), change.expect), properties.end());
    EXPECT_EQ(msiinfoRows(pkg, "Control"), control);
  }
}

}  // namespace

std::vector<std::vector<std::string>> ourRows(msi::Database& db, const std::string& table) {
  std::vector<std::vector<std::string>> out;
  const msi::Table& t = db.table(table);
  for (std::size_t r = 0; r < t.size(); ++r) {
    std::vector<std::string> cells;
    for (std::size_t c = 0; c < t.row(r).size(); ++c) cells.push_back(t.row(r)[c].text());
    out.push_back(std::move(cells));
  }
  return out;
}

// A fork reads what its source read, and what it changes stays its own.
TEST(SharedStrings, ForkHoldsWhatTheFileHoldsAndChangesAlone) {
  FENNICK_REQUIRE_MSITOOLS();
  const fs::path pkg = fixture("ui-wix3-putty-installdir-featuretree/putty-0.68-installer.msi");
  auto source = msi::Database::open(pkg, msi::OpenMode::ReadOnly);
  const auto properties = ourRows(*source, "Property");
  EXPECT_EQ(properties, msiinfoRows(pkg, "Property"));
  auto fork = source->fork();
  ASSERT_TRUE(fork);
  setProperty(*fork, "ProductName", "Forked");
  setProperty(*fork, "ARPCOMMENTS", "PuTTY release 0.68");
  setProperty(*source, "ARPCOMMENTS", "Source after the fork");
  EXPECT_EQ(propertyValue(pkg, "ProductName"), "PuTTY release 0.68");
  for (const auto& [db, name, value] : {std::tuple{fork.get(), "ProductName", "Forked"},
                                        std::tuple{fork.get(), "ARPCOMMENTS", "PuTTY release 0.68"},
                                        std::tuple{source.get(), "ProductName", "PuTTY release 0.68"},
                                        std::tuple{source.get(), "ARPCOMMENTS", "Source after the fork"}}) {
    const msi::Table& t = db->table("Property");
    const auto at = t.find(msi::Row{msi::Value(name)});
    ASSERT_TRUE(at) << name;
    EXPECT_EQ(t.row(*at)[1].text(), value) << name;
  }
  EXPECT_EQ(ourRows(*fork, "Control"), msiinfoRows(pkg, "Control"));
  EXPECT_FALSE(source->fork()) << "the source holds a change its file does not";
}
