// fennick-msi cross-compiled for Windows (scripts/build-windows.sh) and run under Wine writes
// what the Linux build writes, byte for byte: table lists, table archives and transforms, on
// every fixture package. Both builds read the same files, so a difference is a platform bit
// (file access, codepages, line ends) behaving differently.
#include <gtest/gtest.h>

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

struct Both {
  ProcessResult onLinux, onWindows;
};

// Runs one command with each build; `args` name files as {unix path, Windows path} pairs.
Both RunBoth(const std::vector<std::pair<std::string, std::string>>& args, const fs::path& scratch) {
  std::vector<std::string> linuxArgv{FENNICK_MSI_CLI}, windowsArgv{wineRunPath().string(), FENNICK_MSI_CLI_WINDOWS};
  for (const auto& [onLinux, onWindows] : args) {
    linuxArgv.push_back(onLinux);
    windowsArgv.push_back(onWindows);
  }
  return {runProcess(linuxArgv, scratch), runProcess(windowsArgv, scratch)};
}

std::pair<std::string, std::string> Word(const std::string& word) { return {word, word}; }
std::pair<std::string, std::string> File(const fs::path& path) { return {path.string(), OnWindows(path)}; }

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
    ASSERT_EQ(runProcess({FENNICK_MSI_CLI, "query", changed.string(), sql}, scratch).exitCode, 0) << sql;
  pairs.emplace_back(changed, sample);
  const auto packages = test::fixturePackages();
  ASSERT_FALSE(packages.empty());
  for (std::size_t i = 0; i < packages.size(); ++i) pairs.emplace_back(packages[i], packages[(i + 1) % packages.size()]);

  for (std::size_t i = 0; i < packages.size(); ++i) {
    const fs::path& package = packages[i];
    SCOPED_TRACE(package.string());
    const fs::path dir = scratch / std::to_string(i);
    fs::create_directories(dir);

    const Both tables = RunBoth({Word("tables"), File(package)}, dir);
    EXPECT_EQ(tables.onLinux.exitCode, 0) << tables.onLinux.err;
    EXPECT_EQ(tables.onWindows.exitCode, 0) << tables.onWindows.err;
    EXPECT_FALSE(tables.onLinux.out.empty());
    EXPECT_EQ(tables.onWindows.out, tables.onLinux.out);

    const Both exported = RunBoth({Word("export"), File(package), {(dir / "linux").string(), OnWindows(dir / "windows")}}, dir);
    EXPECT_EQ(exported.onLinux.exitCode, 0) << exported.onLinux.err;
    EXPECT_EQ(exported.onWindows.exitCode, 0) << exported.onWindows.err;
    const auto linuxTree = Tree(dir / "linux");
    EXPECT_FALSE(linuxTree.empty());
    EXPECT_EQ(Tree(dir / "windows"), linuxTree);
  }

  // A transform records when it was made; both builds are told the same time.
  setenv("SOURCE_DATE_EPOCH", "1700000000", 1);
  int generated = 0;
  for (std::size_t i = 0; i < pairs.size(); ++i) {
    const auto& [newer, base] = pairs[i];
    SCOPED_TRACE(newer.string() + " from " + base.string());
    const fs::path dir = scratch / ("mst" + std::to_string(i));
    fs::create_directories(dir);
    const Both mst = RunBoth({Word("transform"), Word("generate"), File(newer), File(base),
                          {(dir / "linux.mst").string(), OnWindows(dir / "windows.mst")}}, dir);
    EXPECT_EQ(mst.onWindows.exitCode, mst.onLinux.exitCode) << mst.onLinux.err << mst.onWindows.err;
    if (mst.onLinux.exitCode != 0) continue;
    ++generated;
    const std::string written = test::ReadText(dir / "linux.mst");
    EXPECT_FALSE(written.empty());
    EXPECT_TRUE(test::ReadText(dir / "windows.mst") == written) << "the transforms differ";
  }
  unsetenv("SOURCE_DATE_EPOCH");
  // The sample pair at least yields a transform.
  EXPECT_GE(generated, 1);
}

}  // namespace
}  // namespace fennick::peer
