// Small text helpers shared by the tests that compare us with msitools.
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "tests/peer/process.h"
#include "tests/support/fixtures.h"

namespace fennick::test {

inline std::string ReadFile(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Lines without their line ends (CR LF or LF).
inline std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    out.push_back(line);
  }
  return out;
}

inline std::vector<std::string> Split(const std::string& line, char sep) {
  std::vector<std::string> out;
  std::size_t start = 0;
  for (;;) {
    auto pos = line.find(sep, start);
    out.push_back(line.substr(start, pos == std::string::npos ? std::string::npos : pos - start));
    if (pos == std::string::npos) return out;
    start = pos + 1;
  }
}

inline bool HaveMsitools() {
  static const bool have =
      peer::runProcess({"msiinfo", "--version"}, std::filesystem::temp_directory_path()).exitCode == 0;
  return have;
}

// msiinfo lists two pseudo tables of its own before the catalogue; they are left out.
inline std::vector<std::string> MsitoolsTables(const std::filesystem::path& pkg, const std::filesystem::path& scratch) {
  std::vector<std::string> out;
  for (auto& t : Lines(peer::runProcess({"msiinfo", "tables", pkg.string()}, scratch).out))
    if (!t.empty() && t != "_SummaryInformation" && t != "_ForceCodepage") out.push_back(t);
  return out;
}

}  // namespace fennick::test

// Skips (saying why) without the fixtures or msitools.
#define FENNICK_REQUIRE_MSITOOLS()                                                          \
  do {                                                                                      \
    FENNICK_REQUIRE_FIXTURES();                                                             \
    if (!::fennick::test::HaveMsitools()) GTEST_SKIP() << "msitools (msiinfo) not installed"; \
  } while (0)
