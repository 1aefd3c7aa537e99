// SELECT views beyond the query corpus (queries.txt: row order, ORDER BY, DISTINCT, joins,
// lookups, unknown names): joins against a reference and at scale, parameters, the
// execute/fetch/close cycle, column information.
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
    auto& control = addTable(db, 
        "Control", {{"Dialog_", "s72"}, {"Control", "s50"}, {"Type", "s20"}, {"X", "i2"}}, 2);
    control.insert({Value("Welcome"), Value("Next"), Value("PushButton"), Value(236)});
    control.insert({Value("Welcome"), Value("Cancel"), Value("PushButton"), Value(304)});
    control.insert({Value("Exit"), Value("Finish"), Value("PushButton"), Value(236)});
    control.insert({Value("Welcome"), Value("Title"), Value("Text"), Value(20)});
    control.insert({Value("Orphan"), Value("Lost"), Value("Text"), Value(0)});
  }
  std::unique_ptr<msi::Database> owner = newDatabase();
  msi::Database& db = *owner;
};

TEST_F(SqlSelect, ThreeTableJoinsMatchANestedLoopReference) {
  auto& feature = addTable(db, "Feature", {{"Feature", "s38"}, {"Level", "i2"}}, 1);
  auto& fc = addTable(db, "FeatureComponents", {{"Feature_", "s38"}, {"Component_", "s72"}}, 2);
  auto& component = addTable(db, "Component", {{"Component", "s72"}, {"Directory_", "s72"}}, 1);
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
  auto& feature = addTable(db, "Feature", {{"Feature", "s38"}, {"Title", "S64"}}, 1);
  auto& fc = addTable(db, "FeatureComponents", {{"Feature_", "s38"}, {"Component_", "s72"}}, 2);
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

TEST_F(SqlSelect, ADroppedTableFailsTheNextExecuteCleanly) {
  auto view = msi::View::open(db, "SELECT * FROM `Dialog`");
  db.dropTable("Dialog");
  EXPECT_EQ(errorOf([&] { view->execute(); }),
            "query `SELECT * FROM `Dialog``: unknown table `Dialog` at offset 14");
}

}  // namespace
}  // namespace fennick::test
