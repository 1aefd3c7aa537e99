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

// The changes listed, sorted: tables come in the order the transform stores them.
std::vector<std::string> sortedChanges(const fs::path& mst, msi::Database* base) {
  auto lines = changeLines(mst, base);
  std::sort(lines.begin(), lines.end());
  return lines;
}

TEST(Describe, LayoutsAndOldValuesComeFromTheBaseTheTransformOrTheStandardTables) {
  const fs::path dir = scratchDir();
  {
    auto db = createDatabase(dir / "base.msi", {{"A", "1"}, {"B", "2"}});
    addTable(*db, "Custom", {col("Id", "i2", true), col("Text", "S20")}, {{Value(1), Value("one")}});
    db->commit();
  }
  const auto base = generateFromCopy(dir, [](msi::Database& db) {
    setProperty(db, "A", "tab\there");
    db.table("Property").erase(*db.table("Property").find({Value("B")}));
    db.table("Custom").update(0, {Value(1), Value("uno")});
    addTable(db, "Added", {col("Key", "s8", true)}, {{Value("k")}});
  });

  // Without the base: Property from the standard layouts, Added from the transform's own
  // column records, Custom not at all; a deleted row shows its key only.
  EXPECT_EQ(sortedChanges(dir / "t.mst", nullptr),
            (std::vector<std::string>{"add-column\tAdded\t\tKey\t\ts8 key", "add-table\tAdded\t\t\t\t",
                                      "delete\tProperty\tB\t\t\t", "insert\tAdded\tk\tKey\t\tk",
                                      "undecoded\tCustom\t\t\t\t6 bytes of changes; the table's layout "
                                      "needs the base package",
                                      "update\tProperty\tA\tValue\t\ttab\\there"}));
  // With it, every table, the old values, and the old cells of a deleted row.
  EXPECT_EQ(sortedChanges(dir / "t.mst", base.get()),
            (std::vector<std::string>{"add-column\tAdded\t\tKey\t\ts8 key", "add-table\tAdded\t\t\t\t",
                                      "delete\tProperty\tB\tProperty\tB\t", "delete\tProperty\tB\tValue\t2\t",
                                      "insert\tAdded\tk\tKey\t\tk", "update\tCustom\t1\tText\tone\tuno",
                                      "update\tProperty\tA\tValue\t1\ttab\\there"}));
}

}  // namespace
