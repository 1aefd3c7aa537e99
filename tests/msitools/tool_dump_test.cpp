// The tool's working tables, dumped after a headless run, against what msitools reads from
// the same packages (those without a user interface among them), and packages it cannot open.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <set>

#include "tests/support/msitools.h"
#include "tests/peer/process.h"
#include "tests/support/fixtures.h"
#include "tests/support/tool_runs.h"

namespace fennick::test {
namespace {

namespace fs = std::filesystem;
using peer::runProcess;

TEST(ToolDump, WorkingTablesMatchWhatMsitoolsReads) {
  FENNICK_REQUIRE_MSITOOLS();
  const auto scratch = scratchDir();
  for (const auto& pkg : fixturePackages()) {
    SCOPED_TRACE(pkg.filename().string());
    const fs::path out = scratch / (pkg.stem().string() + ".dump");
    const auto run = replay(scratch, pkg, "", {"--dump-tables", out.string()});
    Dump dump = readDump(out);
    const auto tables = msiinfoTables(pkg);

    std::set<std::string> listed;
    for (auto& row : dump["lvTable"]) {
      EXPECT_EQ(row.size(), 1u);
      listed.insert(row[0]);
    }
    EXPECT_EQ(listed, std::set<std::string>(tables.begin(), tables.end()));

    const bool hasUI = std::count(tables.begin(), tables.end(), "InstallUISequence") > 0;
    if (!hasUI) {
      EXPECT_EQ(run.exitCode, 3);
      EXPECT_NE(run.err.find("fennick: Exiting: There is no user interface in this package."), std::string::npos);
      for (const char* t : {"lvUI", "lvProperty", "lvFeature", "lvPropertyChanged", "lvFeatureChanged"})
        EXPECT_TRUE(dump[t].empty()) << t;
      continue;
    }

    // lvUI: the sequence rows in ascending Sequence order, with condition and sequence text.
    auto expectedUI = msiinfoRows(pkg, "InstallUISequence");
    auto& ui = dump["lvUI"];
    ASSERT_EQ(ui.size(), expectedUI.size());
    long previous = -2147483647;
    for (auto& row : ui) {
      ASSERT_EQ(row.size(), 3u);
      const long sequence = row[2].empty() ? -2147483647 : std::stol(row[2]);
      EXPECT_LE(previous, sequence) << row[0];
      previous = sequence;
    }
    auto sortedUI = ui;
    std::sort(sortedUI.begin(), sortedUI.end());
    std::sort(expectedUI.begin(), expectedUI.end());
    EXPECT_EQ(sortedUI, expectedUI);

    // A table the package lacks adds nothing to the watched properties; the run goes on.
    const auto has = [&](const char* table) { return std::count(tables.begin(), tables.end(), table) > 0; };
    EXPECT_EQ(run.err.find("unknown table"), std::string::npos) << run.err;

    // lvProperty: the Property table with its values, INSTALLDIR, TARGETDIR, every non-blank
    // control-bound property, the install level and context, and every property a
    // ControlEvent sets, one row each, sorted by name.
    std::map<std::string, std::string> expected;
    if (has("Property"))
      for (auto& row : msiinfoRows(pkg, "Property")) expected[row[0]] = row.size() > 1 ? row[1] : "";
    std::set<std::string> names;
    for (auto& [name, value] : expected) names.insert(name);
    for (const char* always : {"INSTALLDIR", "TARGETDIR", "INSTALLLEVEL", "ALLUSERS", "MSIINSTALLPERUSER"})
      names.insert(always);
    if (has("Control"))
      for (auto& row : msiinfoRows(pkg, "Control"))
        if (row.size() > 8 && row[8].find_first_not_of(' ') != std::string::npos) names.insert(row[8]);
    if (has("ControlEvent"))
      for (auto& row : msiinfoRows(pkg, "ControlEvent"))
        if (row.size() > 2 && row[2].size() > 2 && row[2].front() == '[' && row[2].back() == ']')
          names.insert(row[2].substr(1, row[2].size() - 2));
    auto& props = dump["lvProperty"];
    std::vector<std::string> order;
    for (auto& row : props) {
      ASSERT_EQ(row.size(), 2u) << row[0];
      order.push_back(row[0]);
      auto it = expected.find(row[0]);
      if (it != expected.end()) {
        EXPECT_EQ(row[1], it->second) << row[0];
      }
    }
    EXPECT_TRUE(std::is_sorted(order.begin(), order.end()));
    EXPECT_EQ(std::set<std::string>(order.begin(), order.end()), names);
    EXPECT_EQ(order.size(), names.size());  // one row per name
  }
}

TEST(ToolDump, UnopenablePackagesGetTheOpenFailureMessage) {
  const auto scratch = scratchDir();
  const fs::path notPackage = scratch / "text.msi";
  std::ofstream(notPackage) << "hello";
  struct Case {
    std::vector<std::string> args;
    std::string shown;   // the path as the message shows it
    std::string cause;
  } cases[] = {
      {{"/no/such.msi"}, "/no/such.msi", "no such file"},
      {{scratch.string()}, scratch.string(), "is a folder"},
      {{notPackage.string()}, notPackage.string(), "not an installer package"},
      {{}, "", "no package path"},
      {{"\"" + scratch.string() + "/my", "pkg.msi\""}, scratch.string() + "/my pkg.msi", "no such file"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> argv = {FENNICK_TOOL, "--replay", "/dev/null"};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    auto r = runProcess(argv, scratch);
    EXPECT_EQ(r.exitCode, 3) << c.shown;
    EXPECT_EQ(r.err.rfind("fennick: Unable to open package: " + c.shown + "\r\n\r\n", 0), 0u) << r.err;
    EXPECT_NE(r.err.find(c.cause), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "no transform written: the package was refused (see the message above)\n");
  }
  // Nothing is written beside the package (the runner's own output files aside).
  for (const auto& e : fs::directory_iterator(scratch)) {
    const std::string name = e.path().filename().string();
    EXPECT_TRUE(name == "text.msi" || name.find("std") != std::string::npos) << name;
  }
}

TEST(ToolDump, HelpAndUsage) {
  const auto scratch = scratchDir();
  auto help = runProcess({FENNICK_TOOL, "--help"}, scratch);
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_NE(help.out.find("--replay WALK"), std::string::npos);
  EXPECT_EQ(runProcess({FENNICK_TOOL, "--bogus"}, scratch).exitCode, 2);
  EXPECT_EQ(runProcess({FENNICK_TOOL, "--replay", "/no/such.walk", "x.msi"}, scratch).exitCode, 2);
}

}  // namespace
}  // namespace fennick::test
