// Access to the real packages beside the checkout. Tests that need them call
// FENNICK_REQUIRE_FIXTURES() first, which skips (saying why) when the folder is absent.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace fennick::test {

// The fixtures folder ($FENNICK_FIXTURES, else the configured default); empty when absent.
std::filesystem::path fixturesDir();
// A file inside the fixtures folder ("ui-wix3-minimal-gaze/GazeToolbarInstall.msi").
std::filesystem::path fixture(const std::string& relative);
// Every .msi and .msm in the fixtures, sorted, except the deliberately corrupt one.
std::vector<std::filesystem::path> fixturePackages();
// A fresh empty folder under the build folder's scratch space, for the calling test.
std::filesystem::path scratchDir();
// A copy of fixture `relative` named `as` in a fresh scratchDir(), for a test that changes it.
std::filesystem::path scratchCopy(const std::string& relative, const std::string& as);
// The whole content of a file ("" when it cannot be read).
std::string ReadText(const std::filesystem::path& path);

}  // namespace fennick::test

#define FENNICK_REQUIRE_FIXTURES()                                                      \
  do {                                                                                  \
    if (::fennick::test::fixturesDir().empty())                                         \
      GTEST_SKIP() << "fixtures folder not found (set FENNICK_FIXTURES or place shared/" \
                      "fixtures beside the checkout)";                                  \
  } while (0)
