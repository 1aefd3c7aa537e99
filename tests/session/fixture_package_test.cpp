// Conditions and control texts of the real packages, read with msitools' msidump (so this
// does not depend on our own database reader): every condition parses, and control texts
// resolve [ProductName] from the package's own Property table.
#include <cstdlib>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <unistd.h>

#include "engine/session/condition.h"
#include "engine/session/formatted.h"
#include "tests/session/fake_session_context.h"
#include "tests/support/fixtures.h"

namespace {

namespace fs = std::filesystem;

struct IdtTable {
  std::vector<std::string> columns;
  std::vector<std::vector<std::string>> rows;
  int column(const std::string& name) const {
    for (std::size_t i = 0; i < columns.size(); ++i)
      if (columns[i] == name) return static_cast<int>(i);
    return -1;
  }
};

std::vector<std::string> splitTabs(const std::string& line) {
  std::vector<std::string> cells;
  std::string cell;
  std::istringstream in(line);
  while (std::getline(in, cell, '\t')) cells.push_back(cell);
  if (!line.empty() && line.back() == '\t') cells.emplace_back();
  return cells;
}

// Archive files escape tab, carriage return and line feed inside cells as 0x10, 0x11, 0x19.
std::string unescapeCell(std::string cell) {
  for (char& c : cell) {
    if (c == '\x10') c = '\t';
    else if (c == '\x11') c = '\r';
    else if (c == '\x19') c = '\n';
  }
  return cell;
}

std::optional<IdtTable> readIdt(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return std::nullopt;
  IdtTable table;
  std::string line;
  for (int n = 0; std::getline(in, line); ++n) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (n == 0) table.columns = splitTabs(line);
    if (n < 3) continue;
    auto cells = splitTabs(line);
    for (auto& c : cells) c = unescapeCell(c);
    cells.resize(table.columns.size());
    table.rows.push_back(std::move(cells));
  }
  return table;
}

class FixturePackages : public ::testing::Test {
 protected:
  void SetUp() override {
    FENNICK_REQUIRE_FIXTURES();
    if (std::system("command -v msidump > /dev/null 2>&1") != 0)
      GTEST_SKIP() << "msidump (msitools) is not installed";
  }

  // Every table of every package, dumped once for the whole suite: package -> its folder.
  static const std::map<fs::path, fs::path>& dumps() {
    static const std::map<fs::path, fs::path> all = [] {
      std::map<fs::path, fs::path> out;
      // One folder per test process: CTest runs the tests of this suite in parallel processes.
      const fs::path root = fs::current_path() / "test-scratch" / ("FixturePackages.dumps." + std::to_string(::getpid()));
      fs::remove_all(root);
      for (const fs::path& package : fennick::test::fixturePackages()) {
        const fs::path dir = root / package.parent_path().filename() / package.filename();
        fs::create_directories(dir);
        const std::string command =
            "cd '" + dir.string() + "' && msidump -t '" + package.string() + "' > /dev/null 2>&1";
        EXPECT_EQ(std::system(command.c_str()), 0) << command;
        out[package] = dir;
      }
      return out;
    }();
    return all;
  }

  static fennick::test::FakeSessionContext contextFrom(const fs::path& dir) {
    fennick::test::FakeSessionContext context;
    if (auto property = readIdt(dir / "Property.idt"))
      for (const auto& row : property->rows)
        if (row.size() >= 2) context.properties[row[0]] = row[1];
    return context;
  }
};

TEST_F(FixturePackages, EveryConditionInTheirTablesParses) {
  const std::map<std::string, std::string> conditionColumns = {
      {"InstallUISequence", "Condition"},    {"InstallExecuteSequence", "Condition"},
      {"AdminUISequence", "Condition"},      {"AdminExecuteSequence", "Condition"},
      {"AdvtExecuteSequence", "Condition"},  {"ControlCondition", "Condition"},
      {"ControlEvent", "Condition"},         {"Condition", "Condition"},
      {"LaunchCondition", "Condition"},      {"Component", "Condition"},
  };
  std::size_t evaluated = 0;
  for (const auto& [package, dir] : dumps()) {
    const auto context = contextFrom(dir);
    for (const auto& [tableName, columnName] : conditionColumns) {
      const auto table = readIdt(dir / (tableName + ".idt"));
      if (!table) continue;
      const int column = table->column(columnName);
      ASSERT_GE(column, 0) << package << ": table `" << tableName << "` has no `" << columnName << "`";
      for (const auto& row : table->rows) {
        const std::string& condition = row[column];
        if (condition.empty()) continue;
        ++evaluated;
        const auto result = msi::evaluateConditionDetailed(condition, context);
        EXPECT_NE(result.result, msi::ConditionResult::Error)
            << package.filename() << " `" << tableName << "`: " << result.diagnostic;
      }
    }
  }
  EXPECT_GT(evaluated, 100u);
}

TEST_F(FixturePackages, ControlTextsResolveTheProductName) {
  std::size_t checked = 0;
  const std::string reference = "[ProductName]";
  for (const auto& [package, dir] : dumps()) {
    const auto control = readIdt(dir / "Control.idt");
    if (!control) continue;
    const auto context = contextFrom(dir);
    const std::string productName = context.property("ProductName");
    ASSERT_FALSE(productName.empty()) << package << ": no ProductName";
    const int textColumn = control->column("Text");
    ASSERT_GE(textColumn, 0);
    for (const auto& row : control->rows) {
      const std::string& text = row[textColumn];
      // Only texts whose sole references are [ProductName] have an obvious expected result.
      std::string expected = text, rest = text;
      for (std::size_t at; (at = rest.find(reference)) != std::string::npos;) rest.erase(at, reference.size());
      if (rest.size() == text.size() || rest.find('[') != std::string::npos) continue;
      for (std::size_t at = 0; (at = expected.find(reference, at)) != std::string::npos; at += productName.size())
        expected.replace(at, reference.size(), productName);
      EXPECT_EQ(msi::formatText(text, context), expected) << package.filename();
      ++checked;
    }
  }
  EXPECT_GT(checked, 20u);
}

}  // namespace
