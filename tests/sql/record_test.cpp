// Records: field access, text and integer views of a field.
#include <gtest/gtest.h>

#include "engine/sql/view.h"
#include "tests/sql/query_helpers.h"

namespace fennick::test {
namespace {

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
  EXPECT_EQ(errorOf([&] { r.field(3); }),
            "record: field 3 is out of range (the record has 2 fields)");
  EXPECT_NE(errorOf([&] { r.setStringData(9, "x"); }), "");
  EXPECT_NE(errorOf([] { msi::Record().stringData(1); }), "");
}

}  // namespace
}  // namespace fennick::test
