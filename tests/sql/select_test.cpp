// SELECT views beyond the query corpus (queries.txt: row order, ORDER BY, DISTINCT, joins,
// lookups, unknown names, parameters, column information): joins at scale, the
// execute/fetch/close cycle, a table dropped under an open view; records.
#include <gtest/gtest.h>

#include "tests/sql/query_helpers.h"

namespace fennick::test {
namespace {

using msi::Value;

class SqlSelect : public ::testing::Test {
 protected:
  void SetUp() override {
    auto& dialog = addTable(db, "Dialog", {{"Dialog", "s72"}, {"Title", "L128"}}, 1);
    dialog.insert({Value("Welcome"), Value("Welcome to Demo")});
    dialog.insert({Value("Exit"), Value("Done")});
  }
  std::unique_ptr<msi::Database> owner = newDatabase();
  msi::Database& db = *owner;
};

TEST_F(SqlSelect, LargeEqualityJoinsAreHashedNotQuadratic) {
  // 100,000 rows on each side; a nested-loop join would examine 10^10 pairs.
  auto& feature = addTable(db, "Feature", {{"Feature", "s38"}, {"Title", "S64"}}, 1);
  auto& fc = addTable(db, "FeatureComponents", {{"Feature_", "s38"}, {"Component_", "s72"}}, 2);
  constexpr int kRows = 100000;
  for (int i = 0; i < kRows; ++i) feature.insert({Value("F" + std::to_string(i)), Value("T")});
  for (int i = 0; i < kRows; ++i) fc.insert({Value("F" + std::to_string(i)), Value("C" + std::to_string(i))});
  EXPECT_EQ(queryRows(db, "SELECT `Component_` FROM `FeatureComponents`, `Feature` WHERE "
                          "`Feature_` = `Feature` AND `Feature`.`Feature` = 'F4242'"),
            TextRows{{"C4242"}});
  const auto all = queryRows(db, "SELECT `Feature` FROM `Feature`, `FeatureComponents` WHERE `Feature` = `Feature_`");
  EXPECT_EQ(all.size(), static_cast<std::size_t>(kRows));
}

TEST_F(SqlSelect, ExecuteFetchCloseCycle) {
  auto view = msi::View::open(db, "SELECT `Dialog` FROM `Dialog` WHERE `Dialog` <> ?");
  EXPECT_EQ(errorOf([&] { view->fetch(); }), "query `SELECT `Dialog` FROM `Dialog` WHERE `Dialog` <> ?`: fetch before execute");
  const msi::Record exit = recordOf({Value("Exit")});
  view->execute(&exit);
  auto record = view->fetch();
  ASSERT_TRUE(record);
  EXPECT_EQ(record->fieldCount(), 1u);
  EXPECT_EQ(record->stringData(1), "Welcome");
  EXPECT_FALSE(view->fetch());
  EXPECT_FALSE(view->fetch());
  view->close();
  EXPECT_NE(errorOf([&] { view->fetch(); }), "");
  const msi::Record welcome = recordOf({Value("Welcome")});
  view->execute(&welcome);
  EXPECT_EQ(view->fetch()->stringData(1), "Exit");
  // Executing again starts over without a close.
  view->execute(&welcome);
  EXPECT_EQ(view->fetch()->stringData(1), "Exit");
}

TEST_F(SqlSelect, ADroppedTableFailsTheNextExecuteCleanly) {
  auto view = msi::View::open(db, "SELECT * FROM `Dialog`");
  db.dropTable("Dialog");
  EXPECT_EQ(errorOf([&] { view->execute(); }), "query `SELECT * FROM `Dialog``: unknown table `Dialog` at offset 14");
}

// Records: text and integer views of a field, fields beyond the count.
TEST(SqlRecord, TextAndIntegerViewsOfFields) {
  msi::Record r(4);
  r.setField(1, msi::Value(-12));
  r.setStringData(2, "");
  r.setStringData(3, "345");
  r.setStringData(4, "3x");
  EXPECT_EQ(r.stringData(1), "-12");
  EXPECT_EQ(r.stringData(2), "");
  EXPECT_TRUE(r.isNull(2));
  EXPECT_EQ(r.integerData(1), -12);
  EXPECT_EQ(r.integerData(2), std::nullopt);
  EXPECT_EQ(r.integerData(3), 345);
  EXPECT_EQ(r.integerData(4), std::nullopt);
  r.setStringData(0, "[1] of [2]");
  EXPECT_EQ(r.stringData(0), "[1] of [2]");
}

TEST(SqlRecord, FieldsBeyondTheCountAreErrors) {
  msi::Record r(2);
  EXPECT_EQ(errorOf([&] { r.field(3); }), "record: field 3 is out of range (the record has 2 fields)");
  EXPECT_NE(errorOf([&] { r.setStringData(9, "x"); }), "");
  EXPECT_NE(errorOf([] { msi::Record().stringData(1); }), "");
}

}  // namespace
}  // namespace fennick::test
