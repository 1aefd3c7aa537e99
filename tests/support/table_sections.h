// Tables of cases and small packages written as text beside the tests that use them.
#pragma once

#include <filesystem>
#include <fstream>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace fennick::test {

// The rows of each table of package `name` (by default the running test's name) in `file`:
// "[name]" starts a package, "Table:" one of its tables, every other line is a row of
// tab-separated cells as a table archive holds it, and "#" lines are comments.
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

// The cases of a table written as text: one a line, its fields separated by tabs, `\n` in a
// field standing for a line break; blank and "#" lines are left out. With a name, only the
// cases after the line "[name]" up to the next such line.
inline std::vector<std::vector<std::string>> caseRows(const std::filesystem::path& file, const std::string& name = "") {
  std::ifstream in(file, std::ios::binary);
  if (!in) throw std::runtime_error(file.string() + ": cannot open");
  std::vector<std::vector<std::string>> cases;
  bool inside = name.empty();
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    if (!name.empty() && line.starts_with("[")) {
      inside = line == "[" + name + "]";
      continue;
    }
    if (!inside) continue;
    std::vector<std::string>& fields = cases.emplace_back(1);
    for (std::size_t i = 0; i < line.size(); ++i) {
      if (line[i] == '\t') {
        fields.emplace_back();
      } else if (line.compare(i, 2, "\\n") == 0) {
        fields.back() += '\n';
        ++i;
      } else {
        fields.back() += line[i];
      }
    }
  }
  if (cases.empty()) throw std::runtime_error(file.string() + ": no cases");
  return cases;
}

}  // namespace fennick::test
