// What tables accept and refuse: keys, nulls, types, ranges, schema changes. A refused change
// leaves everything as it was. (Key order, lookups by key and the catalogue tables:
// tests/sql/queries.txt.)
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

}  // namespace
