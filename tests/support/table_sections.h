// Small packages written as text beside the tests that use them: "[name]" starts a package,
// "Table:" one of its tables, every other line is a row of tab-separated cells as a table
// archive holds it, and "#" lines are comments.
#pragma once

#include <filesystem>
#include <fstream>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace fennick::test {

// The rows of each table of package `name` (by default the running test's name) in `file`.
inline std::map<std::string, std::vector<std::string>> tableSections(const std::filesystem::path& file,
                                                                     std::string name = "") {
  if (name.empty()) name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
  std::ifstream in(file, std::ios::binary);
  std::map<std::string, std::vector<std::string>> tables;
  std::vector<std::string>* rows = nullptr;
  bool inside = false;
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    if (line.starts_with("[")) {
      inside = line == "[" + name + "]";
    } else if (inside && line.ends_with(":") && line.find('\t') == std::string::npos) {
      rows = &tables[line.substr(0, line.size() - 1)];
    } else if (inside && rows) {
      rows->push_back(line);
    }
  }
  if (tables.empty()) throw std::runtime_error(file.string() + ": no package `" + name + "`");
  return tables;
}

}  // namespace fennick::test
