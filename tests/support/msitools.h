// msitools, run from tests: what a second, independent reader sees in a package.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/fixtures.h"

namespace fennick::test {

struct Command {
  int status = -1;  // exit status; -1 when the command did not end normally
  std::string out;  // standard output, and standard error when kept
};
std::string shellQuote(const std::string& s);
Command run(const std::string& command, bool keepErrors = false);
// Lines without their line ends (CR LF or LF); no empty last line for a final line end.
std::vector<std::string> lines(const std::string& text);
std::vector<std::string> split(const std::string& line, char sep);

bool haveMsitools();
// Standard output of `msiinfo COMMAND PKG [ARG]`.
std::string msiinfo(const std::string& command, const std::filesystem::path& pkg, const std::string& arg = "");
// `msiinfo tables`, without the two pseudo tables it adds.
std::vector<std::string> msiinfoTables(const std::filesystem::path& pkg);
// Builds PKG with `msibuild` from the .idt archives given, and then its summary information
// from `summary` (title, author, template, package code). Returns "" when both runs
// succeed, else what msibuild said.
std::string msibuild(const std::filesystem::path& pkg, const std::vector<std::filesystem::path>& archives,
                     const std::vector<std::string>& summary);
// Rows of `msiinfo export PKG TABLE`: every line after the three header lines, split at tabs.
std::vector<std::vector<std::string>> msiinfoRows(const std::filesystem::path& pkg, const std::string& table);

}  // namespace fennick::test

// Skips (saying why) without the fixtures or msitools.
#define FENNICK_REQUIRE_MSITOOLS()                                                          \
  do {                                                                                      \
    FENNICK_REQUIRE_FIXTURES();                                                             \
    if (!::fennick::test::haveMsitools()) GTEST_SKIP() << "msitools (msiinfo) not installed"; \
  } while (0)
