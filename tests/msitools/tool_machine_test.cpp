// The machine a run is for: the built-in machines and machine files decide what a package's
// launch conditions and helper actions see, and --property values are recorded as choices.
#include <gtest/gtest.h>

#include <fstream>

#include "tests/support/msitools.h"
#include "tests/peer/process.h"
#include "tests/support/fixtures.h"
#include "tests/support/tool_runs.h"

namespace fennick::test {
namespace {

namespace fs = std::filesystem;
using peer::runProcess;

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
  for (const char* machine : {"win10-x64", "win11-x64"}) {
    const auto refused = Replay(scratch, pkg, kDemoWalk, {"--machine", machine});
    EXPECT_EQ(refused.exitCode, 4) << machine << "\n" << refused.err;
    EXPECT_NE(refused.err.find("This package runs on 32-bit Windows only."), std::string::npos) << refused.err;
  }
  const auto walked = Replay(scratch, pkg, kDemoWalk, {"--machine", "win10-x86"});
  EXPECT_EQ(walked.exitCode, 0) << walked.err;
  EXPECT_NE(walked.out.find("reproduces your choices"), std::string::npos) << walked.out;

  // A 64-bit package is not for a 32-bit Windows at all.
  Archives x64 = demoArchives();
  replaceIn(x64, "_SummaryInformation.idt", "Intel;1033", "x64;1033");
  const auto refused = Replay(scratch, buildPackage(scratch, x64, "x64.msi"), kDemoWalk, {"--machine", "win10-x86"});
  EXPECT_EQ(refused.exitCode, 3) << refused.err;
  EXPECT_NE(refused.err.find("cannot be installed on the 32-bit machine win10-x86"), std::string::npos) << refused.err;

  const auto unknown = Replay(scratch, pkg, kDemoWalk, {"--machine", "win95"});
  EXPECT_EQ(unknown.exitCode, 2);
  EXPECT_NE(unknown.err.find("win10-x64, win10-x86, win11-x64"), std::string::npos) << unknown.err;
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
    EXPECT_NE(stopped.err.find("This setup requires the .NET Framework version 4.7.2."), std::string::npos)
        << stopped.err;
    EXPECT_NE(stopped.err.find("http://go.microsoft.com/fwlink/?LinkId=863262"), std::string::npos);
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
