// Listing a transform's changes: where the table layouts come from, and the text form.
#include <gtest/gtest.h>

#include <algorithm>

#include "engine/mst/transform.h"
#include "tests/mst/mst_test_support.h"
#include "tests/support/fixtures.h"

namespace {
namespace fs = std::filesystem;
using fennick::test::scratchDir;
using namespace fennick::mst_test;
using msi::Value;

std::vector<std::string> show(const fs::path& mst, msi::Database* base) {
  std::vector<std::string> out;
  for (const auto& c : msi::mst::describeTransform(mst, base)) out.push_back(msi::mst::formatChange(c));
  return out;
}

TEST(Describe, LayoutsComeFromTheBaseTheTransformOrTheStandardTables) {
  const fs::path dir = scratchDir();
  {
    auto db = createDatabase(dir / "base.msi", {{"A", "1"}});
    addTable(*db, "Custom", {col("Id", "i2", true), col("Text", "S20")}, {{Value(1), Value("one")}});
    db->commit();
  }
  const auto base = generateFromCopy(dir, [](msi::Database& db) {
    setProperty(db, "A", "tab\there");
    db.table("Custom").update(0, {Value(1), Value("uno")});
    addTable(db, "Added", {col("Key", "s8", true)}, {{Value("k")}});
  });

  // Without the base: Property from the standard layouts, Added from the transform's own
  // column records, Custom not at all.
  // Tables come in the order the transform stores them; compare the lines as a set.
  auto bare = show(dir / "t.mst", nullptr);
  std::sort(bare.begin(), bare.end());
  EXPECT_EQ(bare, (std::vector<std::string>{"add-column\tAdded\t\tKey\t\ts8 key", "add-table\tAdded\t\t\t\t",
                                            "insert\tAdded\tk\tKey\t\tk",
                                            "undecoded\tCustom\t\t\t\t6 bytes of changes; the table's layout "
                                            "needs the base package",
                                            "update\tProperty\tA\tValue\t\ttab\\there"}));
  // With it, every table and the old values.
  const auto full = show(dir / "t.mst", base.get());
  EXPECT_NE(std::find(full.begin(), full.end(), "update\tCustom\t1\tText\tone\tuno"), full.end());
  EXPECT_NE(std::find(full.begin(), full.end(), "update\tProperty\tA\tValue\t1\ttab\\there"), full.end());
}

TEST(Describe, DeletedRowsListTheirOldCellsWhenTheBaseHasThem) {
  const fs::path dir = scratchDir();
  {
    auto db = createDatabase(dir / "base.msi", {{"A", "1"}, {"B", "2"}});
    db->commit();
  }
  const auto base = generateFromCopy(dir, [](msi::Database& db) {
    msi::Table& p = db.table("Property");
    p.erase(*p.find({Value("B")}));
  });
  EXPECT_EQ(show(dir / "t.mst", base.get()),
            (std::vector<std::string>{"delete\tProperty\tB\tProperty\tB\t", "delete\tProperty\tB\tValue\t2\t"}));
  EXPECT_EQ(show(dir / "t.mst", nullptr), (std::vector<std::string>{"delete\tProperty\tB\t\t\t"}));
}

}  // namespace
