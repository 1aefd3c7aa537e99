// fennick-msi cross-compiled for Windows (scripts/build-windows.sh) and run under Wine writes
// what the Linux build writes, byte for byte: table lists, table archives and transforms, on
// every fixture package. Both builds read the same files, so a difference is a platform bit
// (file access, codepages, line ends) behaving differently.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "tests/peer/probe.h"
#include "tests/peer/process.h"
#include "tests/support/fixtures.h"

namespace fennick::peer {
namespace {
namespace fs = std::filesystem;

// Wine's drive Z: is the Unix root.
std::string OnWindows(const fs::path& path) { return "Z:" + path.string(); }

// Every file below `dir`, by its path inside `dir`, with its bytes.
std::map<std::string, std::string> Tree(const fs::path& dir) {
  std::map<std::string, std::string> out;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(dir, ec); !ec && it != fs::recursive_directory_iterator(); ++it)
    if (it->is_regular_file()) out[fs::relative(it->path(), dir).generic_string()] = test::ReadText(it->path());
  return out;
}

// Runs `fennick-msi ARGS...` with each build in a folder of its own below `dir` (linux/,
// windows/), OUT standing for "out" in it and Unix paths given to Windows on drive Z:. Both must
// end alike, and after a success leave the same files (outputs, standard error, and standard
// output where it names no output path). Returns what the Linux build left, nothing when it failed.
std::map<std::string, std::string> RunBoth(const std::vector<std::string>& args, const fs::path& dir) {
  std::vector<std::string> linuxArgv{FENNICK_MSI_CLI}, windowsArgv{wineRunPath().string(), FENNICK_MSI_CLI_WINDOWS};
  for (const std::string& arg : args) {
    linuxArgv.push_back(arg == "OUT" ? (dir / "linux/out").string() : arg);
    windowsArgv.push_back(arg == "OUT" ? OnWindows(dir / "windows/out") : arg.starts_with("/") ? OnWindows(arg) : arg);
  }
  const ProcessResult onLinux = runProcess(linuxArgv, dir / "linux");
  const ProcessResult onWindows = runProcess(windowsArgv, dir / "windows");
  EXPECT_EQ(onWindows.exitCode, onLinux.exitCode) << onLinux.err << onWindows.err;
  if (onLinux.exitCode != 0) return {};
  auto tree = Tree(dir / "linux"), windows = Tree(dir / "windows");
  if (std::find(args.begin(), args.end(), "OUT") != args.end()) {
    tree.erase("process.stdout");
    windows.erase("process.stdout");
  }
  EXPECT_EQ(windows, tree);
  return tree;
}

TEST(WindowsBuild, WritesWhatTheLinuxBuildWritesOnEveryFixture) {
  FENNICK_REQUIRE_FIXTURES();
  FENNICK_REQUIRE_PROBE();
  if (!fs::is_regular_file(FENNICK_MSI_CLI_WINDOWS))
    GTEST_SKIP() << FENNICK_MSI_CLI_WINDOWS << " not built (scripts/build-windows.sh; needs mingw-w64)";
  const fs::path scratch = test::scratchDir();

  // Transforms: a package and an edited copy of it, and each package against the next
  // (unrelated packages: every table differs).
  std::vector<std::pair<fs::path, fs::path>> pairs;
  const fs::path sample = test::fixture("ui-wix3-minimal-gaze/GazeToolbarInstall.msi");
  const fs::path changed = scratch / "sample-changed.msi";
  fs::copy_file(sample, changed);
  fs::permissions(changed, fs::perms::owner_write, fs::perm_options::add);
  for (const char* sql : {"UPDATE `Property` SET `Value` = 'C:\\Gaze\\' WHERE `Property` = 'ProductName'",
                          "INSERT INTO `Property` (`Property`, `Value`) VALUES ('INSTALLDIR', 'D:\\Tools\\')"})
    outputOf({FENNICK_MSI_CLI, "query", changed.string(), sql}, scratch);
  pairs.emplace_back(changed, sample);
  const auto packages = test::fixturePackages();
  ASSERT_FALSE(packages.empty());
  for (std::size_t i = 0; i < packages.size(); ++i) pairs.emplace_back(packages[i], packages[(i + 1) % packages.size()]);

  for (std::size_t i = 0; i < packages.size(); ++i) {
    SCOPED_TRACE(packages[i].string());
    const fs::path dir = scratch / std::to_string(i);
    EXPECT_FALSE(RunBoth({"tables", packages[i].string()}, dir / "tables")["process.stdout"].empty());
    EXPECT_TRUE(RunBoth({"export", packages[i].string(), "OUT"}, dir / "export").count("out/_SummaryInformation.idt"));
  }

  // A transform records when it was made; both builds are told the same time.
  setenv("SOURCE_DATE_EPOCH", "1700000000", 1);
  int generated = 0;
  for (std::size_t i = 0; i < pairs.size(); ++i) {
    const auto& [newer, base] = pairs[i];
    SCOPED_TRACE(newer.string() + " from " + base.string());
    const auto written = RunBoth({"transform", "generate", newer.string(), base.string(), "OUT"},
                                 scratch / ("mst" + std::to_string(i)));
    if (written.empty()) continue;
    ++generated;
    EXPECT_FALSE(written.at("out").empty());
  }
  unsetenv("SOURCE_DATE_EPOCH");
  // The sample pair at least yields a transform.
  EXPECT_GE(generated, 1);
}

}  // namespace
}  // namespace fennick::peer
