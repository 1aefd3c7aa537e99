#include <gtest/gtest.h>
#include "tests/support/fixtures.h"
TEST(Skeleton, FixturesFolderFound) {
  FENNICK_REQUIRE_FIXTURES();
  EXPECT_FALSE(fennick::test::fixturePackages().empty());
}
