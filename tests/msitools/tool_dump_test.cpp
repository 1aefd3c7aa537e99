// The tool's working tables, dumped after a headless run, against what msitools reads from
// the same packages (those without a user interface among them); packages it cannot open; and
// replays through the demo package's dialogs that stop: walks that do not fit, cancels, a walk
// that goes on after its end, and a package that grows a property without bound. (The walk
// file's own bounds: tests/dialogs/walk_test.cpp.) (What a walk's transform does,
// applied by Wine's installer service: tool_choices_test.cpp.)
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
    EXPECT_EQ(run.err.find("unknown table"), std::string::npos) << run.err;

    // lvProperty: the Property table with its values, INSTALLDIR, TARGETDIR, every non-blank
    // control-bound property, the install level and context, and every property a
    // ControlEvent sets, one row each, sorted by name.
    std::map<std::string, std::string> expected;
    for (auto& row : msiinfoRows(pkg, "Property")) expected[row[0]] = row.size() > 1 ? row[1] : "";
    std::set<std::string> names;
    for (auto& [name, value] : expected) names.insert(name);
    for (const char* always : {"INSTALLDIR", "TARGETDIR", "INSTALLLEVEL", "ALLUSERS", "MSIINSTALLPERUSER"})
      names.insert(always);
    for (auto& row : msiinfoRows(pkg, "Control"))
      if (row.size() > 8 && row[8].find_first_not_of(' ') != std::string::npos) names.insert(row[8]);
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

TEST(ToolWalk, WalksThatDoNotFitAreCancelledOrCannotBeReadStopWithTheirStatus) {
  const auto scratch = scratchDir();
  const fs::path demo = buildPackage(scratch, demoArchives(), "demo.msi");
  const std::string toSave = "press Next\npress Next\npress Next\npress Install\n";
  const fs::path mst = scratch / "out.mst";
  struct Case {
    std::string walk;
    int status;
    std::string err, out;  // what standard error holds; standard output exactly, where given
  };
  const Case cases[] = {
      {"dialog WelcomeDlg\npress Next\ndialog FeaturesDlg\n", 2, "walk.txt:3", ""},
      {"dialog WelcomeDlg\npress Cancel\n", 4,
       "fennick: DoAction Error: An error occured executing action: WelcomeDlg\r\n\r\n"
       "IDCANCEL, user terminated prematurely.",
       "no transform written: an action failed or the package's dialogs were exited (see the message above)\n"},
      {toSave + "save cancel\n", 5, "fennick: Transform Cancelled: Transform creation cancelled by user",
       "no transform written: the save prompt was cancelled (see the message above)\n"},
      {toSave + "save cancel\npress Next\n", 2, "walk.txt:6: the walk goes on after `save cancel` with `press Next`", ""},
      // The save answer loses its spaces, as the interactive prompt's does.
      {toSave + "save \"  " + mst.string() + "  \"\n", 0, "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.walk);
    const auto run = replay(scratch, demo, c.walk);
    EXPECT_EQ(run.exitCode, c.status) << run.err;
    EXPECT_NE(run.err.find(c.err), std::string::npos) << run.err;
    if (!c.out.empty()) {
      EXPECT_EQ(run.out, c.out);
    }
  }
  EXPECT_TRUE(fs::exists(mst));
}

TEST(ToolWalk, ADoublingPropertyStopsTheRunWithStatusOne) {
  // The demo with 24 custom actions that each double X: unbounded, 16 bytes would become 256 MiB.
  Archives archives = demoArchives();
  archives["CustomAction.idt"] = "Action\tType\tSource\tTarget\r\ns72\ti2\tS72\tS255\r\nCustomAction\tAction\r\n";
  for (int i = 1; i <= 24; ++i) {
    archives["CustomAction.idt"] += "Grow" + std::to_string(i) + "\t51\tX\t[X][X]\r\n";
    archives["InstallUISequence.idt"] += "Grow" + std::to_string(i) + "\t\t" + std::to_string(100 + i) + "\r\n";
  }
  archives["Property.idt"] += "X\t0123456789abcdef\r\n";
  const auto scratch = scratchDir();
  const auto run = replay(scratch, buildPackage(scratch, archives), "save \"out.mst\"\n");
  EXPECT_EQ(run.exitCode, 1) << run.err;
  EXPECT_NE(run.err.find("fennick: property `X` set by action `Grow17`: a value of 2097152 bytes is more than a "
                         "property may hold (1 MiB); the session stops\n"),
            std::string::npos)
      << run.err;
  EXPECT_FALSE(fs::exists(scratch / "out.mst"));
}

}  // namespace
}  // namespace fennick::test
