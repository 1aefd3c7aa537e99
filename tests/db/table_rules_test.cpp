// What tables accept and refuse: keys, nulls, types, ranges, schema changes. A refused change
// leaves everything as it was.
#include <gtest/gtest.h>

#include "engine/db/database.h"
#include "tests/support/db_builders.h"
#include "tests/support/error_text.h"
#include "tests/support/fixtures.h"

namespace {

using fennick::test::col;

struct Fixture {
  std::unique_ptr<msi::Database> db =
      msi::Database::open(fennick::test::scratchDir() / "rules.msi", msi::OpenMode::Create);
  msi::Table& feature() { return db->table("Feature"); }
  Fixture() {
    db->createTable({"Feature", {col("Feature", "s38", true), col("Title", "L64"), col("Level", "i2"), col("Size", "I4")}});
    feature().insert({"Main", "Main", 1, 100});
  }
};

// `f` throws an Error that says every one of `words`.
void expectError(const std::function<void()>& f, std::initializer_list<std::string_view> words) {
  EXPECT_TRUE(fennick::test::holds(fennick::test::errorOf(f), words));
}

TEST(TableRules, InsertRefusesBadRowsAndChangesNothing) {
  Fixture f;
  auto& t = f.feature();
  expectError([&] { t.insert({"Main", "again", 2, msi::Value()}); }, {"table `Feature`", "already exists"});
  expectError([&] { t.insert({"X", "t", msi::Value(), msi::Value()}); }, {"table `Feature`", "column `Level`", "null"});
  expectError([&] { t.insert({"X", "t", 32768, msi::Value()}); }, {"column `Level`", "32768"});
  expectError([&] { t.insert({"X", "t", -32768, msi::Value()}); }, {"column `Level`"});
  expectError([&] { t.insert({"X", "t", 1, INT32_MIN}); }, {"column `Size`"});
  expectError([&] { t.insert({"X", "t", "high", msi::Value()}); }, {"column `Level`", "integers"});
  expectError([&] { t.insert({"X", 7, 1, msi::Value()}); }, {"column `Title`", "text"});
  expectError([&] { t.insert({"X", "t", 1}); }, {"table `Feature`", "3 values"});
  EXPECT_EQ(t.size(), 1u);
  t.insert({"Edge", msi::Value(), -32767, INT32_MAX});
  EXPECT_EQ(t.size(), 2u);
}

TEST(TableRules, RowsStayInKeyOrderAndAreFoundByKey) {
  Fixture f;
  auto& t = f.feature();
  // String keys sort by pool id: strings met first sort first, as the installer stores them.
  t.insert({"Zeta", msi::Value(), 1, msi::Value()});
  t.insert({"Alpha", msi::Value(), 1, msi::Value()});
  ASSERT_EQ(t.size(), 3u);
  EXPECT_EQ(t.row(0)[0].asString(), "Main");
  EXPECT_EQ(t.row(1)[0].asString(), "Zeta");
  EXPECT_EQ(t.row(2)[0].asString(), "Alpha");
  EXPECT_EQ(t.find({"Alpha"}), std::optional<std::size_t>(2));
  EXPECT_EQ(t.find({"Nothing"}), std::nullopt);

  f.db->createTable({"Seq", {col("Action", "s72", true), col("Order", "I2", true)}});
  auto& s = f.db->table("Seq");
  for (int n : {30, -5, 10, 20}) s.insert({"A", n});
  std::vector<int> order;
  for (std::size_t i = 0; i < s.size(); ++i) order.push_back(s.row(i)[1].asInt());
  EXPECT_EQ(order, (std::vector<int>{-5, 10, 20, 30})) << "integer keys sort as signed numbers";
  EXPECT_EQ(s.find({"A", 20}), std::optional<std::size_t>(2));
  EXPECT_EQ(s.find({"A", 21}), std::nullopt);
}

TEST(TableRules, UpdateKeepsKeysAndEraseRemoves) {
  Fixture f;
  auto& t = f.feature();
  expectError([&] { t.update(0, {"Other", "Main", 1, 100}); }, {"column `Feature`", "key"});
  expectError([&] { t.update(0, {"Main", "Main", msi::Value(), 100}); }, {"column `Level`", "null"});
  t.update(0, {"Main", "Renamed", 3, msi::Value()});
  EXPECT_EQ(t.row(0), (msi::Row{"Main", "Renamed", 3, msi::Value()}));
  expectError([&] { t.update(5, {"Main", "x", 1, 1}); }, {"table `Feature`", "out of range"});
  t.erase(0);
  EXPECT_EQ(t.size(), 0u);
  EXPECT_EQ(t.find({"Main"}), std::nullopt);
}

TEST(TableRules, SchemaChanges) {
  Fixture f;
  expectError([&] { f.db->addColumn("Feature", col("Must", "i2")); }, {"table `Feature`", "column `Must`", "nullable"});
  expectError([&] { f.db->addColumn("Feature", col("Title", "S0")); }, {"column `Title`", "already exists"});
  f.db->addColumn("Feature", col("Extra", "S0"));
  EXPECT_EQ(f.feature().schema().columns.back().name, "Extra");
  EXPECT_TRUE(f.feature().row(0).back().isNull());
  f.feature().insert({"Second", msi::Value(), 1, msi::Value(), "note"});

  expectError([&] { f.db->createTable({"Feature", {col("K", "s72", true)}}); }, {"table `Feature`", "exists"});
  expectError([&] { f.db->createTable({"NoKey", {col("K", "s72")}}); }, {"table `NoKey`", "key"});
  expectError([&] { f.db->createTable({"Late", {col("A", "s72", true), col("B", "s72"), col("C", "s72", true)}}); },
              {"column `C`", "first"});
  msi::Schema wide{"Wide", {}};
  for (int i = 0; i < 33; ++i) wide.columns.push_back(col("C" + std::to_string(i), "I2", i == 0));
  expectError([&] { f.db->createTable(wide); }, {"table `Wide`", "33 columns"});
  expectError([&] { f.db->dropTable("_Tables"); }, {"_Tables"});
  expectError([&] { f.db->table("Missing"); }, {"no table `Missing`"});
  EXPECT_EQ(f.db->tableNames(), std::vector<std::string>{"Feature"});
}

TEST(TableRules, CatalogueTablesDescribeTheSchema) {
  Fixture f;
  auto& tables = f.db->table("_Tables");
  ASSERT_EQ(tables.size(), 1u);
  EXPECT_EQ(tables.row(0)[0].asString(), "Feature");
  auto& columns = f.db->table("_Columns");
  ASSERT_EQ(columns.size(), 4u);
  EXPECT_EQ(columns.row(2), (msi::Row{"Feature", 3, "Level", 0x0502}));
  EXPECT_THROW(tables.insert({"Sneaky"}), msi::Error);
  f.db->createTable({"Second", {col("K", "s72", true)}});
  EXPECT_EQ(tables.size(), 2u) << "views follow schema changes";
  EXPECT_TRUE(columns.find({"Second", 1}));
}

}  // namespace
