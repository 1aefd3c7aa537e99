// Wine runs the non-dialog part of each UI package's InstallUISequence and reports feature
// states, directories and properties for every row of the package's tables.
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/peer/probe.h"
#include "tests/support/fixtures.h"

namespace {
namespace fs = std::filesystem;
using fennick::peer::parseRecords;
using fennick::peer::ProcessResult;
using fennick::peer::Record;
using fennick::peer::recordsOf;
using fennick::peer::runProbe;
using fennick::peer::runProcess;
using fennick::test::fixture;
using fennick::test::fixturePackages;
using fennick::test::scratchDir;

// The rows of `table` as msitools exports them, split into cells (header lines dropped).
std::vector<std::vector<std::string>> msitoolsRows(const fs::path& pkg, const std::string& table,
                                                   const fs::path& scratch) {
  const ProcessResult r = runProcess({"msiinfo", "export", pkg.string(), table}, scratch);
  EXPECT_EQ(r.exitCode, 0) << "msiinfo export " << pkg << " " << table << ": " << r.err;
  std::vector<std::vector<std::string>> rows;
  std::istringstream in(r.out);
  int n = 0;
  for (std::string line; std::getline(in, line); ++n) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (n < 3) continue;
    std::vector<std::string> cells(1);
    for (char c : line) {
      if (c == '\t')
        cells.emplace_back();
      else
        cells.back() += c;
    }
    rows.push_back(cells);
  }
  return rows;
}

std::set<std::string> keys(const std::vector<std::vector<std::string>>& rows) {
  std::set<std::string> out;
  for (const auto& r : rows) out.insert(r.at(0));
  return out;
}

std::set<std::string> names(const std::vector<Record>& records) {
  std::set<std::string> out;
  for (const auto& r : records) out.insert(r.at(0));
  return out;
}

std::map<std::string, std::string> secondField(const std::vector<Record>& records) {
  std::map<std::string, std::string> out;
  for (const auto& r : records) out[r.at(0)] = r.at(1);
  return out;
}

TEST(SessionPeer, EveryUiPackageListsItsFeaturesDirectoriesAndProperties) {
  FENNICK_REQUIRE_FIXTURES();
  FENNICK_REQUIRE_PROBE();
  const fs::path scratch = scratchDir();
  int uiPackages = 0;
  for (const fs::path& pkg : fixturePackages()) {
    if (pkg.parent_path().filename().string().rfind("ui-", 0) != 0) continue;
    ++uiPackages;
    SCOPED_TRACE(pkg.string());
    const ProcessResult probe = runProbe({"session", pkg.string()}, scratch);
    ASSERT_EQ(probe.exitCode, 0) << probe.err;
    const auto records = parseRecords(probe.out);
    EXPECT_EQ(recordsOf(records, "sequence"), (std::vector<Record>{{"0"}}));
    EXPECT_TRUE(secondField(recordsOf(records, "action"))["CostFinalize"] == "0") << probe.out;

    EXPECT_EQ(names(recordsOf(records, "feature")), keys(msitoolsRows(pkg, "Feature", scratch)));
    EXPECT_EQ(names(recordsOf(records, "property")), keys(msitoolsRows(pkg, "Property", scratch)));
    const auto directories = recordsOf(records, "directory");
    EXPECT_EQ(names(directories), keys(msitoolsRows(pkg, "Directory", scratch)));
    for (const auto& d : directories) {
      // A resolved target path on the service's machine: a drive, a trailing backslash.
      const std::string& path = d.at(1);
      EXPECT_TRUE(path.size() >= 3 && path[1] == ':' && path[2] == '\\' && path.back() == '\\')
          << d.at(0) << " -> " << path;
    }
  }
  EXPECT_GE(uiPackages, 5);
}

TEST(SessionPeer, FeatureLevelsInstallLevelAndOverrides) {
  FENNICK_REQUIRE_FIXTURES();
  FENNICK_REQUIRE_PROBE();
  const fs::path scratch = scratchDir();
  const fs::path pkg = fixture("ui-wix3-putty-installdir-featuretree/putty-0.68-installer.msi");

  // With INSTALLLEVEL 1 a feature is requested local exactly when its Level is 1 (the package
  // has no Condition table to change levels).
  const auto features = msitoolsRows(pkg, "Feature", scratch);
  ASSERT_EQ(features.size(), 4u);
  std::map<std::string, std::string> expected;
  for (const auto& f : features) expected[f.at(0)] = f.at(5) == "1" ? "local" : "unknown";
  ASSERT_EQ(expected["DesktopFeature"], "unknown") << "fixture changed: DesktopFeature Level";

  const ProcessResult plain = runProbe(
      {"session", pkg.string(), "INSTALLLEVEL = 1", "NOT Installed AND UILevel = 2",
       "ProductName = \"PuTTY\"", "((", "--property", "ProgramFilesFolder"},
      scratch);
  ASSERT_EQ(plain.exitCode, 0) << plain.err;
  const auto records = parseRecords(plain.out);
  EXPECT_EQ(secondField(recordsOf(records, "feature")), expected);
  EXPECT_EQ(recordsOf(records, "eval"),
            (std::vector<Record>{{"true", "INSTALLLEVEL = 1"},
                                 {"true", "NOT Installed AND UILevel = 2"},
                                 {"false", "ProductName = \"PuTTY\""},
                                 {"error", "(("}}));
  const auto dirs = secondField(recordsOf(records, "directory"));
  const auto props = secondField(recordsOf(records, "property"));
  ASSERT_TRUE(props.count("ProgramFilesFolder"));
  EXPECT_EQ(dirs.at("INSTALLDIR"), props.at("ProgramFilesFolder") + "PuTTY\\");

  // Properties set before the sequence, as on a command line, take effect.
  const ProcessResult overridden = runProbe(
      {"session", pkg.string(), "--set", "INSTALLLEVEL=2", "--set", "INSTALLDIR=C:\\Apps\\PuTTY\\"},
      scratch);
  ASSERT_EQ(overridden.exitCode, 0) << overridden.err;
  const auto over = parseRecords(overridden.out);
  EXPECT_EQ(secondField(recordsOf(over, "feature"))["DesktopFeature"], "local");
  EXPECT_EQ(secondField(recordsOf(over, "directory"))["INSTALLDIR"], "C:\\Apps\\PuTTY\\");
}

TEST(SessionPeer, ProbeRefusesWrongUsageAndBrokenPackages) {
  FENNICK_REQUIRE_FIXTURES();
  FENNICK_REQUIRE_PROBE();
  const fs::path scratch = scratchDir();
  const ProcessResult none = runProbe({}, scratch);
  EXPECT_EQ(none.exitCode, 2);
  EXPECT_NE(none.err.find("usage"), std::string::npos) << none.err;
  const ProcessResult missing = runProbe({"session", (scratch / "absent.msi").string()}, scratch);
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_NE(missing.err.find("absent.msi"), std::string::npos) << missing.err;
  // A file that is not a compound file: the service refuses it, the probe says which.
  const ProcessResult corrupt = runProbe(
      {"export", fixture("odd-wix3-testdata/corrupt-ole-header-then-xml.msi").string(),
       (scratch / "out").string()},
      scratch);
  EXPECT_EQ(corrupt.exitCode, 1);
  EXPECT_NE(corrupt.err.find("corrupt-ole-header-then-xml.msi"), std::string::npos) << corrupt.err;
}

}  // namespace
