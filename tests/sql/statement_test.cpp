// INSERT, UPDATE, DELETE, CREATE TABLE and ALTER TABLE beyond the query corpus (queries.txt:
// what statements change, their columns and the causes of their refusals): temporary rows,
// refusals part-way through, views opened before a change.
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

TEST_F(SqlStatements, InsertTemporaryMakesATemporaryRow) {
  run(db, "INSERT INTO `Feature` (`Feature`, `Level`) VALUES ('Delta', 4) TEMPORARY");
  EXPECT_TRUE(feature().isTemporaryRow(*feature().find({Value("Delta")})));
}

TEST_F(SqlStatements, AFailedUpdateOrDeleteChangesNothing) {
  const auto before = rowsOf(feature());
  // Refusals part-way: the rows already written or removed are put back.
  feature().failWrite(1);
  EXPECT_TRUE(holds(errorOf([&] { run(db, "UPDATE `Feature` SET `Title` = 'T'"); }), {"write refused"}));
  EXPECT_EQ(rowsOf(feature()), before);
  feature().failWrite(1);
  EXPECT_TRUE(holds(errorOf([&] { run(db, "DELETE FROM `Feature` WHERE `Level` = 3"); }), {"write refused"}));
  EXPECT_EQ(rowsOf(feature()), before);
}

TEST_F(SqlStatements, FetchingFromAStatementBeforeExecuteIsRefused) {
  auto view = msi::View::open(db, "DELETE FROM `Feature` WHERE `Level` = 99");
  EXPECT_TRUE(holds(errorOf([&] { view->fetch(); }), {"fetch before execute"}));
}

TEST_F(SqlStatements, ATableOfMoreThan32ColumnsIsRefusedWhenOpened) {
  std::string wide = "CREATE TABLE t (";
  for (int i = 0; i < 32; ++i) wide += "c" + std::to_string(i) + " SHORT, ";
  // A long query is shortened in the message; the offset is that of the 33rd column.
  EXPECT_NE(errorOf([&] { msi::View::open(db, wide + "c32 SHORT, PRIMARY KEY c0)"); })
                .find("a table has at most 32 columns at offset " + std::to_string(wide.size())),
            std::string::npos);
}

TEST_F(SqlStatements, AViewOpenedBeforeAlterTableSeesTheNewColumn) {
  auto all = msi::View::open(db, "SELECT * FROM `Feature`");
  run(db, "ALTER TABLE `Feature` ADD `Extra` CHAR(20)");
  all->execute();
  EXPECT_EQ(all->columnNames().back(), "Extra");
  EXPECT_EQ(all->fetch()->fieldCount(), 4u);
}

}  // namespace
}  // namespace fennick::test
