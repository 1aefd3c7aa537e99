// Queries that change a real database: what they write is what msitools' own query engine
// writes for the same statements, and Modify results survive a commit.
#include <gtest/gtest.h>

#include <algorithm>

#include "engine/db/database.h"
#include "tests/support/msitools.h"
#include "tests/sql/query_helpers.h"
#include "tests/support/fixtures.h"

namespace fennick::test {
namespace {

namespace fs = std::filesystem;

// The three header lines of an export, then its rows sorted (the two writers may number
// their strings differently, and rows are stored in string-number order).
std::vector<std::string> headerAndSortedRows(const std::string& exported) {
  std::vector<std::string> all = lines(exported);
  while (!all.empty() && all.back().empty()) all.pop_back();
  if (all.size() > 3) std::sort(all.begin() + 3, all.end());
  return all;
}

TEST(SqlWrites, StatementsWriteWhatMsibuildWrites) {
  const std::vector<std::string> statements{
      "CREATE TABLE `Custom` (`Key` CHAR(40) NOT NULL, `Sub` SHORT NOT NULL, `Text` LONGCHAR "
      "LOCALIZABLE, `Big` LONG, `Flag` INT, `Note` CHAR, `Wide` CHARACTER(255) PRIMARY KEY `Key`, `Sub`)",
      "INSERT INTO `Custom` (`Key`, `Sub`, `Text`, `Big`) VALUES ('b', 2, 'two', -70000)",
      "INSERT INTO `Custom` (`Key`, `Sub`, `Flag`, `Wide`) VALUES ('a', 1, 5, 'w')",
      "INSERT INTO `Custom` (`Sub`, `Key`) VALUES (-3, 'c')",
      "UPDATE `Custom` SET `Note` = 'n', `Big` = 7 WHERE `Sub` = 1 OR `Key` = 'c'",
      "DELETE FROM `Custom` WHERE `Key` = 'b' AND `Big` < 0",
      "INSERT INTO `Custom` (`Key`, `Sub`) VALUES ('d', 4)",
      "ALTER TABLE `Custom` ADD `Late` SHORT",
      "UPDATE `Custom` SET `Late` = 9 WHERE `Key` = 'd'",
      "CREATE TABLE `Dropped` (`K` SHORT NOT NULL PRIMARY KEY `K`)",
      "DROP TABLE `Dropped`",
  };
  const fs::path dir = scratchDir();
  const fs::path ours = dir / "ours.msi";
  {
    auto db = msi::Database::open(ours, msi::OpenMode::Create);
    for (const auto& sql : statements) run(*db, sql);
    db->commit();
  }
  const fs::path theirs = dir / "theirs.msi";
  std::string command = "msibuild " + shellQuote(theirs.string());
  for (const auto& sql : statements) command += " -q " + shellQuote(sql);
  ASSERT_EQ(run(command).status, 0) << command;

  EXPECT_EQ(msiinfoTables(ours), msiinfoTables(theirs));
  const std::string exported = msiinfo("export", ours, "Custom");
  EXPECT_EQ(headerAndSortedRows(exported), headerAndSortedRows(msiinfo("export", theirs, "Custom")));
  EXPECT_EQ(lines(exported).at(1), "s40\ti2\tL0\tI4\tI2\tS1\tS255\tI2");
}

TEST(SqlWrites, ModifiedRowsSurviveACommit) {
  FENNICK_REQUIRE_FIXTURES();
  const fs::path pkg = scratchCopy("ui-wix3-minimal-gaze/GazeToolbarInstall.msi", "copy.msi");
  {
    auto db = msi::Database::open(pkg, msi::OpenMode::Transact);
    auto view = msi::View::open(*db, "SELECT `Property`, `Value` FROM `Property`");
    view->execute();
    bool deleted = false;
    while (auto r = view->fetch()) {
      if (r->stringData(1) == "ProductName") {
        r->setStringData(2, "Renamed by a view");
        view->modify(msi::ModifyMode::Update, *r);
      } else if (r->stringData(1) == "ARPNOMODIFY" && !deleted) {
        view->modify(msi::ModifyMode::Delete, *r);
        deleted = true;
      }
    }
    ASSERT_TRUE(deleted);
    msi::Record added = recordOf({msi::Value("ADDEDPROP"), msi::Value("added")});
    view->modify(msi::ModifyMode::Insert, added);
    msi::Record scratch = recordOf({msi::Value("SCRATCHPROP"), msi::Value("gone after commit")});
    view->modify(msi::ModifyMode::InsertTemporary, scratch);
    EXPECT_EQ(queryRows(*db, "SELECT `Value` FROM `Property` WHERE `Property` = 'SCRATCHPROP'"),
              (TextRows{{"gone after commit"}}));
    db->commit();
  }
  const std::string exported = msiinfo("export", pkg, "Property");
  EXPECT_NE(exported.find("\nProductName\tRenamed by a view\r\n"), std::string::npos) << exported;
  EXPECT_NE(exported.find("\nADDEDPROP\tadded\r\n"), std::string::npos);
  EXPECT_EQ(exported.find("ARPNOMODIFY"), std::string::npos);
  EXPECT_EQ(exported.find("SCRATCHPROP"), std::string::npos);
}

}  // namespace
}  // namespace fennick::test
