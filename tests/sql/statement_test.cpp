// INSERT, UPDATE, DELETE, CREATE TABLE, ALTER TABLE and DROP TABLE.
#include <gtest/gtest.h>

#include "tests/sql/refusing_database.h"
#include "tests/sql/query_helpers.h"

namespace fennick::test {
namespace {

using msi::Value;

class SqlStatements : public ::testing::Test {
 protected:
  void SetUp() override {
    auto& t = addTable(db, "Feature", {{"Feature", "s38"}, {"Title", "L64"}, {"Level", "i2"}}, 1);
    t.insert({Value("Alpha"), Value("A"), Value(1)});
    t.insert({Value("Beta"), Value(), Value(3)});
    t.insert({Value("Gamma"), Value("G"), Value(3)});
  }
  RefusingTable& feature() { return db.table("Feature"); }
  RefusingDatabase db{newDatabase()};
};

TEST_F(SqlStatements, InsertFillsUnlistedColumnsWithNull) {
  const msi::Record params = recordOf({Value("4")});
  run(db, "INSERT INTO `Feature` (`Level`, `Feature`) VALUES (?, 'Delta') TEMPORARY", &params);
  const std::size_t at = *feature().find({Value("Delta")});
  EXPECT_EQ(feature().row(at), (msi::Row{Value("Delta"), Value(), Value(4)}));
  EXPECT_TRUE(feature().isTemporaryRow(at));

  const auto before = rowsOf(feature());
  const std::string duplicate = "INSERT INTO `Feature` (`Feature`, `Level`) VALUES ('Alpha', 1)";
  EXPECT_TRUE(holds(errorOf([&] { run(db, duplicate); }), {"query `" + duplicate + "`: table `Feature`: a row with key (Alpha) already exists"}));
  EXPECT_EQ(errorOf([&] { run(db, "INSERT INTO `Feature` (`Feature`, `Level`) VALUES ('E', 'high')"); }),
            "query `INSERT INTO `Feature` (`Feature`, `Level`) VALUES ('E', 'high')`: column "
            "`Level`: 'high' is not an integer");
  EXPECT_EQ(rowsOf(feature()), before);
}

TEST_F(SqlStatements, UpdateSetsMatchingRows) {
  const msi::Record params = recordOf({Value("Z"), Value(3)});
  run(db, "UPDATE `Feature` SET `Title` = ?, `Level` = 5 WHERE `Level` = ?", &params);
  EXPECT_EQ(queryRows(db, "SELECT `Feature`, `Title`, `Level` FROM `Feature`"),
            (TextRows{{"Alpha", "A", "1"}, {"Beta", "Z", "5"}, {"Gamma", "Z", "5"}}));
  run(db, "UPDATE `Feature` SET `Title` = NULL");
  EXPECT_EQ(queryRows(db, "SELECT `Feature` FROM `Feature` WHERE `Title` IS NULL").size(), 3u);

}

TEST_F(SqlStatements, AFailedUpdateOrDeleteChangesNothing) {
  const auto before = rowsOf(feature());
  // `Level` is not nullable: the database refuses the first row.
  EXPECT_NE(errorOf([&] { run(db, "UPDATE `Feature` SET `Level` = NULL WHERE `Level` = 3"); }), "");
  EXPECT_EQ(rowsOf(feature()), before);
  // Refusals part-way: the rows already written or removed are put back.
  feature().failWrite(1);
  EXPECT_TRUE(holds(errorOf([&] { run(db, "UPDATE `Feature` SET `Title` = 'T'"); }), {"write refused"}));
  EXPECT_EQ(rowsOf(feature()), before);
  feature().failWrite(1);
  EXPECT_TRUE(holds(errorOf([&] { run(db, "DELETE FROM `Feature` WHERE `Level` = 3"); }), {"write refused"}));
  EXPECT_EQ(rowsOf(feature()), before);
}

TEST_F(SqlStatements, DeleteRemovesMatchingRows) {
  run(db, "DELETE FROM `Feature` WHERE `Level` = 3 AND `Title` <> 'G'");
  EXPECT_EQ(queryRows(db, "SELECT `Feature` FROM `Feature`"), (TextRows{{"Alpha"}, {"Gamma"}}));
  run(db, "DELETE FROM `Feature`");
  EXPECT_EQ(feature().size(), 0u);
}

TEST_F(SqlStatements, StatementsReturnNoRows) {
  auto view = msi::View::open(db, "DELETE FROM `Feature` WHERE `Level` = 99");
  EXPECT_TRUE(holds(errorOf([&] { view->fetch(); }), {"fetch before execute"}));
  view->execute();
  EXPECT_FALSE(view->fetch());
  EXPECT_TRUE(view->columnNames().empty());
}

TEST_F(SqlStatements, CreateTableBuildsTheSchema) {
  run(db,
      "CREATE TABLE `Custom` (`Key` CHAR(40) NOT NULL, `Sub` SHORT NOT NULL, `Text` LONGCHAR "
      "LOCALIZABLE, `Big` LONG, `Data` OBJECT PRIMARY KEY `Key`, `Sub`)");
  const msi::Schema& s = db.table("Custom").schema();
  ASSERT_EQ(s.columns.size(), 5u);
  std::vector<std::string> definitions;
  for (const auto& c : s.columns) definitions.push_back(c.definition());
  EXPECT_EQ(definitions, (std::vector<std::string>{"s40", "i2", "L0", "I4", "V0"}));
  EXPECT_TRUE(s.columns[0].key && s.columns[1].key && !s.columns[2].key);
  EXPECT_FALSE(s.temporary);

  // A bare CHAR or CHARACTER holds one character; INT and INTEGER are two-byte columns.
  run(db,
      "CREATE TABLE `Scratch` (`A` CHAR TEMPORARY, `B` INT TEMPORARY, `C` CHARACTER TEMPORARY, "
      "`D` INTEGER TEMPORARY PRIMARY KEY `A`) HOLD");
  EXPECT_TRUE(db.table("Scratch").schema().temporary);
  definitions.clear();
  for (const auto& c : db.table("Scratch").schema().columns) definitions.push_back(c.definition());
  EXPECT_EQ(definitions, (std::vector<std::string>{"G1", "J2", "G1", "J2"}));

  EXPECT_EQ(errorOf([&] { run(db, "CREATE TABLE `Custom` (`A` SHORT PRIMARY KEY `A`)"); }),
            "query `CREATE TABLE `Custom` (`A` SHORT PRIMARY KEY `A`)`: table `Custom` already exists");
}

TEST_F(SqlStatements, OpeningRefusesStatementsTheTablesCannotTake) {
  std::string wide = "CREATE TABLE t (";
  for (int i = 0; i < 32; ++i) wide += "c" + std::to_string(i) + " SHORT, ";
  expectOpenErrors(db, {
      {"INSERT INTO `Feature` (`Feature`, `Feature`) VALUES ('E', 'F')", "column `Feature` is listed twice at offset 34"},
      {"INSERT INTO `Features` (`Feature`) VALUES ('E')", "unknown table `Features` at offset 12"},
      {"UPDATE `Feature` SET `Feature` = 'x'", "key column `Feature` cannot be updated at offset 21"},
      {"UPDATE `Feature` SET `Level` = 'x'", "column `Level`: 'x' is not an integer at offset 31"},
      {"DROP TABLE `Nope`", "unknown table `Nope` at offset 11"},
      {"CREATE TABLE t (a SHORT, a LONG PRIMARY KEY a)", "column `a` is defined twice at offset 25"},
      {"CREATE TABLE t (a SHORT PRIMARY KEY b)", "unknown key column `b` at offset 36"},
      {"CREATE TABLE t (a SHORT, b SHORT PRIMARY KEY b)",
       "key columns must be the first columns; `a` is not a key column at offset 16"},
      {"CREATE TABLE t (a SHORT TEMPORARY, b SHORT PRIMARY KEY a)",
       "a persistent table cannot have a temporary key column at offset 13"},
  });
  // A long query is shortened in the message; the offset is that of the 33rd column.
  EXPECT_NE(errorOf([&] { msi::View::open(db, wide + "c32 SHORT, PRIMARY KEY c0)"); })
                .find("a table has at most 32 columns at offset " + std::to_string(wide.size())),
            std::string::npos);
}

TEST_F(SqlStatements, AlterAndDropTables) {
  auto all = msi::View::open(db, "SELECT * FROM `Feature`");
  run(db, "ALTER TABLE `Feature` ADD `Extra` CHAR(20)");
  all->execute();
  EXPECT_EQ(all->columnNames().back(), "Extra");
  EXPECT_EQ(all->fetch()->fieldCount(), 4u);
  EXPECT_EQ(db.table("Feature").schema().columns.back().definition(), "S20");
  EXPECT_EQ(queryRows(db, "SELECT `Extra` FROM `Feature` WHERE `Feature` = 'Beta'"),
            (TextRows{{""}}));
  EXPECT_EQ(errorOf([&] { run(db, "ALTER TABLE `Feature` ADD `Extra` SHORT"); }),
            "query `ALTER TABLE `Feature` ADD `Extra` SHORT`: table `Feature` already has a "
            "column `Extra`");
  run(db, "ALTER TABLE `Feature` HOLD");

  run(db, "CREATE TABLE `Tmp` (`A` CHAR TEMPORARY PRIMARY KEY `A`) HOLD");
  run(db, "ALTER TABLE `Tmp` FREE");
  EXPECT_FALSE(db.hasTable("Tmp"));
  run(db, "ALTER TABLE `Feature` FREE");  // persistent tables stay
  EXPECT_TRUE(db.hasTable("Feature"));

  run(db, "DROP TABLE `Feature`");
  EXPECT_FALSE(db.hasTable("Feature"));
}

}  // namespace
}  // namespace fennick::test
