// SELECT views: row order, ORDER BY, DISTINCT, joins, the execute/fetch/close cycle.
#include <gtest/gtest.h>

#include "tests/sql/memory_database.h"
#include "tests/sql/query_helpers.h"

namespace fennick::test {
namespace {

using msi::Value;

class SqlSelect : public ::testing::Test {
 protected:
  void SetUp() override {
    auto& dialog = db.addTable("Dialog", {{"Dialog", "s72"}, {"Title", "L128"}}, 1);
    dialog.insert({Value("Welcome"), Value("Welcome to Demo")});
    dialog.insert({Value("Exit"), Value("Done")});
    auto& control = db.addTable(
        "Control", {{"Dialog_", "s72"}, {"Control", "s50"}, {"Type", "s20"}, {"X", "i2"}}, 2);
    control.insert({Value("Welcome"), Value("Next"), Value("PushButton"), Value(236)});
    control.insert({Value("Welcome"), Value("Cancel"), Value("PushButton"), Value(304)});
    control.insert({Value("Exit"), Value("Finish"), Value("PushButton"), Value(236)});
    control.insert({Value("Welcome"), Value("Title"), Value("Text"), Value(20)});
    control.insert({Value("Orphan"), Value("Lost"), Value("Text"), Value(0)});
  }
  MemoryDatabase db;
};

TEST_F(SqlSelect, RowsComeInStoredOrderWithoutOrderBy) {
  // The test tables keep rows sorted by key, as a database does.
  EXPECT_EQ(queryRows(db, "SELECT `Dialog_`, `Control` FROM `Control`"),
            (TextRows{{"Exit", "Finish"}, {"Orphan", "Lost"}, {"Welcome", "Cancel"},
                      {"Welcome", "Next"}, {"Welcome", "Title"}}));
  EXPECT_EQ(queryRows(db, "SELECT * FROM `Dialog`"),
            (TextRows{{"Exit", "Done"}, {"Welcome", "Welcome to Demo"}}));
}

TEST_F(SqlSelect, OrderByIsStableAndPutsNullFirst) {
  auto& seq = db.addTable("Seq", {{"Action", "s72"}, {"Condition", "S255"}, {"Sequence", "I2"}}, 1);
  seq.insert({Value("A"), Value(), Value(50)});
  seq.insert({Value("B"), Value("NOT Installed"), Value(-1)});
  seq.insert({Value("C"), Value(), Value()});
  seq.insert({Value("D"), Value(), Value(50)});
  seq.insert({Value("E"), Value(), Value(10)});
  EXPECT_EQ(queryRows(db, "SELECT `Action`,`Condition`,`Sequence` FROM `Seq` ORDER BY `Sequence`"),
            (TextRows{{"C", "", ""}, {"B", "NOT Installed", "-1"}, {"E", "", "10"},
                      {"A", "", "50"}, {"D", "", "50"}}));
  EXPECT_EQ(queryRows(db, "SELECT `Action` FROM `Seq` ORDER BY `Condition`, `Action`"),
            (TextRows{{"A"}, {"C"}, {"D"}, {"E"}, {"B"}}));
  // The ORDER BY column need not be selected.
  EXPECT_EQ(queryRows(db, "SELECT `Action` FROM `Seq` WHERE `Sequence` > 0 ORDER BY `Sequence`"),
            (TextRows{{"E"}, {"A"}, {"D"}}));
}

TEST_F(SqlSelect, DistinctKeepsTheFirstOfEachCombination) {
  EXPECT_EQ(queryRows(db, "SELECT DISTINCT `Type` FROM `Control`"),
            (TextRows{{"PushButton"}, {"Text"}}));
  EXPECT_EQ(queryRows(db, "SELECT DISTINCT `Type`, `X` FROM `Control` ORDER BY `X`"),
            (TextRows{{"Text", "0"}, {"Text", "20"}, {"PushButton", "236"}, {"PushButton", "304"}}));
}

TEST_F(SqlSelect, JoinsMatchOnColumnEqualityInTheInstallersOrder) {
  // Rows are ordered by the last table's row first, as the installer returns them.
  EXPECT_EQ(queryRows(db,
                      "SELECT `Dialog`.`Title`, `Control`.`Control` FROM `Dialog`, `Control` "
                      "WHERE `Control`.`Dialog_` = `Dialog`.`Dialog`"),
            (TextRows{{"Done", "Finish"}, {"Welcome to Demo", "Cancel"},
                      {"Welcome to Demo", "Next"}, {"Welcome to Demo", "Title"}}));
  // Without a condition: every pair, the last table varying slowest.
  EXPECT_EQ(queryRows(db, "SELECT `Dialog`, `Control` FROM `Dialog`, `Control` WHERE `X` = 236"),
            (TextRows{{"Exit", "Finish"}, {"Welcome", "Finish"}, {"Exit", "Next"},
                      {"Welcome", "Next"}}));
  // Unqualified names belong to the first table that has them; `*` spans both tables.
  const auto all = queryRows(db,
                             "SELECT * FROM `Dialog`, `Control` WHERE `Dialog` = `Dialog_` "
                             "AND `Type` = 'Text'");
  EXPECT_EQ(all, (TextRows{{"Welcome", "Welcome to Demo", "Welcome", "Title", "Text", "20"}}));
}

TEST_F(SqlSelect, ThreeTableJoinsMatchANestedLoopReference) {
  auto& feature = db.addTable("Feature", {{"Feature", "s38"}, {"Level", "i2"}}, 1);
  auto& fc = db.addTable("FeatureComponents", {{"Feature_", "s38"}, {"Component_", "s72"}}, 2);
  auto& component = db.addTable("Component", {{"Component", "s72"}, {"Directory_", "s72"}}, 1);
  for (int f = 0; f < 6; ++f) feature.insert({Value("F" + std::to_string(f)), Value(f % 3)});
  for (int c = 0; c < 9; ++c)
    component.insert({Value("C" + std::to_string(c)), Value("D" + std::to_string(c % 2))});
  for (int f = 0; f < 6; ++f)
    for (int c = f; c < 9; c += 2)
      fc.insert({Value("F" + std::to_string(f)), Value("C" + std::to_string(c))});

  const auto rows = queryRows(
      db,
      "SELECT `Feature`.`Feature`, `Component`.`Component`, `Directory_` FROM `Feature`, "
      "`FeatureComponents`, `Component` WHERE `Feature`.`Feature` = `FeatureComponents`.`Feature_` "
      "AND `FeatureComponents`.`Component_` = `Component`.`Component` AND `Feature`.`Level` > 0");
  TextRows expected;
  // Reference: every triple, ordered by Component row, then FeatureComponents row, then Feature.
  for (std::size_t c = 0; c < component.size(); ++c)
    for (std::size_t j = 0; j < fc.size(); ++j)
      for (std::size_t f = 0; f < feature.size(); ++f) {
        const auto& fr = feature.row(f);
        const auto& jr = fc.row(j);
        const auto& cr = component.row(c);
        if (fr[0] == jr[0] && jr[1] == cr[0] && fr[1].asInt() > 0)
          expected.push_back({fr[0].text(), cr[0].text(), cr[1].text()});
      }
  ASSERT_FALSE(expected.empty());
  EXPECT_EQ(rows, expected);
}

TEST_F(SqlSelect, LargeEqualityJoinsAreHashedNotQuadratic) {
  // 100,000 rows on each side; a nested-loop join would examine 10^10 pairs.
  auto& feature = db.addTable("Feature", {{"Feature", "s38"}, {"Title", "S64"}}, 1);
  auto& fc = db.addTable("FeatureComponents", {{"Feature_", "s38"}, {"Component_", "s72"}}, 2);
  constexpr int kRows = 100000;
  auto name = [](char prefix, int i) {
    std::string digits = std::to_string(i);
    return prefix + std::string(6 - digits.size(), '0') + digits;  // sorts as it counts
  };
  for (int i = 0; i < kRows; ++i) feature.insert({Value(name('F', i)), Value("T")});
  for (int i = 0; i < kRows; ++i) fc.insert({Value(name('F', i)), Value(name('C', i))});
  auto view = msi::View::open(db,
                              "SELECT `Component_` FROM `FeatureComponents`, `Feature` WHERE "
                              "`Feature_` = `Feature` AND `Feature`.`Feature` = 'F004242'");
  view->execute();
  auto record = view->fetch();
  ASSERT_TRUE(record);
  EXPECT_EQ(record->stringData(1), "C004242");
  EXPECT_FALSE(view->fetch());
  auto all = msi::View::open(db, "SELECT `Feature` FROM `Feature`, `FeatureComponents` WHERE `Feature` = `Feature_`");
  all->execute();
  std::size_t count = 0;
  while (all->fetch()) ++count;
  EXPECT_EQ(count, static_cast<std::size_t>(kRows));
}

TEST_F(SqlSelect, KeyLookupAndScanAgree) {
  // Full key equal to constants (lookup), part of the key (scan), and no match.
  EXPECT_EQ(queryRows(db, "SELECT `X` FROM `Control` WHERE `Dialog_` = 'Welcome' AND `Control` = 'Next'"),
            (TextRows{{"236"}}));
  EXPECT_EQ(queryRows(db, "SELECT `X` FROM `Control` WHERE `Control` = 'Next' AND `Dialog_` = 'Welcome' AND `X` = 1"),
            TextRows{});
  EXPECT_EQ(queryRows(db, "SELECT `Control` FROM `Control` WHERE `Dialog_` = 'Welcome'"),
            (TextRows{{"Cancel"}, {"Next"}, {"Title"}}));
  EXPECT_EQ(queryRows(db, "SELECT `X` FROM `Control` WHERE `Dialog_` = 'Welcome' AND `Control` = 'Back'"),
            TextRows{});
  const msi::Record key = recordOf({Value("Exit"), Value("Finish")});
  EXPECT_EQ(queryRows(db, "SELECT `Type` FROM `Control` WHERE `Dialog_` = ? AND `Control` = ?", &key),
            (TextRows{{"PushButton"}}));
}

TEST_F(SqlSelect, ExecuteFetchCloseCycle) {
  auto view = msi::View::open(db, "SELECT `Dialog` FROM `Dialog` WHERE `Dialog` <> ?");
  EXPECT_EQ(errorOf([&] { view->fetch(); }),
            "query `SELECT `Dialog` FROM `Dialog` WHERE `Dialog` <> ?`: fetch before execute");
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

TEST_F(SqlSelect, ColumnInformation) {
  auto view = msi::View::open(db, "SELECT `Control`, 'X', `Dialog`.`Title` FROM `Control`, `Dialog`");
  EXPECT_EQ(view->columnNames(), (std::vector<std::string>{"Control", "X", "Title"}));
  EXPECT_EQ(view->columnDefinitions(), (std::vector<std::string>{"s50", "i2", "L128"}));
}

TEST_F(SqlSelect, UnknownNamesAreReportedWhereTheyAppear) {
  expectOpenErrors(db, {
      {"SELECT `Levl` FROM `Control`", "unknown column `Levl` at offset 7"},
      {"SELECT * FROM `Control`, `Nope`", "unknown table `Nope` at offset 25"},
      {"SELECT `Dialog`.`Type` FROM `Control`, `Dialog`", "unknown column `Dialog`.`Type` at offset 7"},
      {"SELECT `Feature`.`Type` FROM `Control`", "table `Feature` is not in the FROM list at offset 7"},
      {"SELECT * FROM `Control` ORDER BY `Nothing`", "unknown column `Nothing` at offset 33"},
  });
}

TEST_F(SqlSelect, ADroppedTableFailsTheNextExecuteCleanly) {
  auto view = msi::View::open(db, "SELECT * FROM `Dialog`");
  db.dropTable("Dialog");
  EXPECT_EQ(errorOf([&] { view->execute(); }),
            "query `SELECT * FROM `Dialog``: unknown table `Dialog` at offset 14");
}

}  // namespace
}  // namespace fennick::test
