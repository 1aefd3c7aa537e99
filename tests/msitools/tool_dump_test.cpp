// The tool run headless. Its working tables, dumped, against what msitools reads from the same
// packages (those without a user interface among them); packages it cannot open; replays
// through the demo package's dialogs that stop: walks that do not fit, cancels, a walk that goes
// on after its end, and a package that grows a property without bound (the walk file's own
// bounds: tests/dialogs/walk_test.cpp); and the machine a run is for: the built-in machines and
// machine files decide what a package's launch conditions and helper actions see, and
// --property values are recorded as choices. (What a walk's transform does, applied by Wine's
// installer service: tool_choices_test.cpp.)
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <set>

#include "tests/support/error_text.h"
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

// --- the machine a run is for ------------------------------------------------------------------

peer::ProcessResult Replay(const fs::path& scratch, const fs::path& package, const std::string& walk,
                           std::vector<std::string> options, const fs::path& dump = {}) {
  if (!dump.empty()) options.insert(options.begin(), {"--dump-tables", dump.string()});
  return replay(scratch, package, walk + "\nsave \"" + (scratch / "out.mst").string() + "\"\n", options);
}

constexpr const char* kDemoWalk =
    "press Next\nset Folder \"C:\\\\Demo\\\\\"\npress Next\npress Next\npress Install\n";

TEST(ToolMachine, A32BitOnlyPackageIsRefusedOn64BitWindowsAndWalksOn32Bit) {
  const auto scratch = scratchDir();
  Archives archives = demoArchives();
  archives["InstallUISequence.idt"] += "LaunchConditions\t\t400\r\n";
  archives["LaunchCondition.idt"] = "Condition\tDescription\r\ns255\tl255\r\nLaunchCondition\tCondition\r\n"
                                    "NOT VersionNT64\tThis package runs on 32-bit Windows only.\r\n";
  const fs::path pkg = buildPackage(scratch, archives);
  // A 64-bit package is not for a 32-bit Windows at all.
  Archives x64 = demoArchives();
  replaceIn(x64, "_SummaryInformation.idt", "Intel;1033", "x64;1033");
  const fs::path x64Pkg = buildPackage(scratch, x64, "x64.msi");
  const struct {
    fs::path package;
    const char* machine;
    int status;
    const char* says;  // on standard output or error
  } runs[] = {
      {pkg, "win10-x64", 4, "This package runs on 32-bit Windows only."},
      {pkg, "win11-x64", 4, "This package runs on 32-bit Windows only."},
      {pkg, "win10-x86", 0, "reproduces your choices"},
      {x64Pkg, "win10-x86", 3, "cannot be installed on the 32-bit machine win10-x86"},
      {pkg, "win95", 2, "win10-x64, win10-x86, win11-x64"},
  };
  for (const auto& r : runs) {
    const auto run = Replay(scratch, r.package, kDemoWalk, {"--machine", r.machine});
    EXPECT_EQ(run.exitCode, r.status) << r.machine << "\n" << run.err;
    EXPECT_NE((run.out + run.err).find(r.says), std::string::npos) << run.out << run.err;
  }
}

TEST(ToolMachine, CommandLinePropertiesAreChoicesMeasuredAgainstThePackage) {
  const auto scratch = scratchDir();
  const fs::path pkg = buildPackage(scratch, demoArchives());
  const fs::path dump = scratch / "dump.txt";
  // ALLUSERS=1 is the package's own value: nothing to record. SERVERNAME is new, and
  // INSTALLLEVEL differs from the package's 3. The machine's DESKTOPSHORTCUT describes the
  // machine: never written.
  std::ofstream(scratch / "agent.machine") << "machine win10-x64\nproperty DESKTOPSHORTCUT=0  # set by policy\n";
  const auto run = Replay(scratch, pkg, kDemoWalk,
                          {"--property", "SERVERNAME=db 01", "--property", "ALLUSERS=1", "--property",
                           "INSTALLLEVEL=4", "--machine", (scratch / "agent.machine").string()},
                          dump);
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_NE(run.out.find("reproduces your choices"), std::string::npos) << run.out << run.err;
  const auto applied = scratch / "applied.msi";
  ASSERT_EQ(runProcess({FENNICK_MSI_CLI, "transform", "apply", pkg.string(), (scratch / "out.mst").string(),
                        applied.string()}, scratch).exitCode, 0);
  const auto props = runProcess({FENNICK_MSI_CLI, "query", applied.string(),
                                 "SELECT `Property`, `Value` FROM `Property` WHERE `Property` = 'SERVERNAME' "
                                 "OR `Property` = 'INSTALLLEVEL' OR `Property` = 'ALLUSERS' "
                                 "OR `Property` = 'DESKTOPSHORTCUT' ORDER BY `Property`"},
                                scratch);
  EXPECT_EQ(props.out, "ALLUSERS\t1\nDESKTOPSHORTCUT\t1\nINSTALLLEVEL\t4\nSERVERNAME\tdb 01\n");

  const auto bad = Replay(scratch, pkg, kDemoWalk, {"--property", "NO VALUE"});
  EXPECT_EQ(bad.exitCode, 2);
  EXPECT_NE(bad.err.find("--property needs NAME=VALUE"), std::string::npos) << bad.err;
}

// The Visual Studio installer fixtures with the launch-condition and .NET check actions such
// projects carry (the fixtures were built without a .NET dependency).
fs::path VisualStudioPackage(const fs::path& scratch, const std::string& fixturePath,
                             const std::string& framework) {
  const fs::path exported = scratch / "built" / "package.msi-archives";  // the binary cells stay beside
  fs::create_directories(scratch);
  const auto run = runProcess({FENNICK_MSI_CLI, "export", fixture(fixturePath).string(), exported.string()}, scratch);
  EXPECT_EQ(run.exitCode, 0) << run.err;
  Archives archives = readArchives(exported);
  addArchives(archives, fs::path(FENNICK_SOURCE_DIR) / "tests/msitools/vs-checks");
  archives["Property.idt"] += "VSDFrameworkVersion\t" + framework + "\r\nVSDAllowLaterFrameworkVersions\tFalse\r\n";
  return buildPackage(scratch / "built", archives);
}

TEST(ToolMachine, VisualStudioLaunchConditionsStopTheRunWhereWindowsWould) {
  FENNICK_REQUIRE_FIXTURES();
  const std::pair<const char*, const char*> fixtures[] = {
      {"ui-vsinstaller-winget/AppInstallerTestMsiInstaller.msi", "winget-folder.walk"},
      {"ui-vsinstaller-filetype-small/fixture.msi", "filetype-browse.walk"},
  };
  // A machine file: Windows 10 without any .NET Framework.
  const fs::path root = scratchDir();
  const fs::path noFramework = root / "no-framework.machine";
  std::ofstream(noFramework)
      << "# Windows 10 with the .NET Framework removed\nmachine win10-x64\n"
         "Windows Registry Editor Version 5.00\n\n"
         "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\NET Framework Setup\\NDP]\n"
         "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Microsoft\\NET Framework Setup\\NDP]\n";
  for (const auto& [path, walkName] : fixtures) {
    SCOPED_TRACE(path);
    const auto scratch = root / walkName;
    const std::string walk = sourceText(std::string("tests/dialogs/walks/") + walkName);
    // Requires 4.7.2: Windows 10's 4.8 updates it in place.
    const fs::path pkg = VisualStudioPackage(scratch, path, "v4.7.2");
    const auto walked = Replay(scratch, pkg, walk, {});
    EXPECT_EQ(walked.exitCode, 0) << walked.err;
    EXPECT_NE(walked.out.find("reproduces your choices"), std::string::npos) << walked.out;
    // The other DLL action is skipped, and listed when the run ends.
    EXPECT_NE(walked.err.find("1 custom action was skipped"), std::string::npos) << walked.err;
    EXPECT_NE(walked.err.find("fennick:   CA_Telemetry (DLL in the Binary table)"), std::string::npos);

    fs::remove(scratch / "out.mst");
    const auto stopped = Replay(scratch, pkg, walk, {"--machine", noFramework.string()});
    EXPECT_EQ(stopped.exitCode, 4) << stopped.err;
    EXPECT_TRUE(holds(stopped.err, {"This setup requires the .NET Framework version 4.7.2.",
                                    "http://go.microsoft.com/fwlink/?LinkId=863262"}));
    EXPECT_FALSE(fs::exists(scratch / "out.mst"));
  }
  // 4.8.1 is on Windows 11, not on Windows 10.
  const auto scratch = root / "481";
  const fs::path pkg = VisualStudioPackage(scratch, fixtures[0].first, "v4.8.1");
  const std::string walk = sourceText(std::string("tests/dialogs/walks/") + fixtures[0].second);
  EXPECT_EQ(Replay(scratch, pkg, walk, {"--machine", "win10-x64"}).exitCode, 4);
  EXPECT_EQ(Replay(scratch, pkg, walk, {"--machine", "win11-x64"}).exitCode, 0);
}

}  // namespace
}  // namespace fennick::test
