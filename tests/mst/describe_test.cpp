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

  const auto lines = expected();
  EXPECT_EQ(sortedChanges(dir / "t.mst", nullptr), lines.at("without the base"));
  EXPECT_EQ(sortedChanges(dir / "t.mst", base.get()), lines.at("with the base"));
}

}  // namespace
