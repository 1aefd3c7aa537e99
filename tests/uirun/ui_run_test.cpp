#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include "src/driver/run_state.h"
#include "src/driver/session_driver.h"
#include "src/transform/transform.h"
#include "tests/support/fake_installer.h"
#include "tests/support/fixtures.h"

namespace fennick::uirun {
namespace {

using test::FakePackage;
using test::FakeTable;

FakePackage Package(std::vector<std::vector<std::string>> sequence) {
  FakePackage p;
  p.catalogue = {"Control", "Feature", "InstallUISequence", "Property"};
  p.tables["InstallUISequence"] = FakeTable{{"Action", "Condition", "Sequence"}, std::move(sequence)};
  p.tables["Property"] = FakeTable{{"Property", "Value"}, {{"INSTALLLEVEL", "3"}, {"ProductName", "Demo"}}};
  p.tables["Control"] = FakeTable{{"Dialog_", "Control", "Property"}, {{"D", "Folder", "INSTALLDIR"}}};
  p.tables["Feature"] = FakeTable{{"Feature", "Feature_Parent", "Title", "Description", "Display", "Level",
                                   "Directory_", "Attributes"},
                                  {{"Main", "", "Main", "", "1", "1", "INSTALLDIR", "0"},
                                   {"Docs", "Main", "Docs", "", "2", "1", "", "16"},
                                   {"Extras", "Main", "Extras", "", "3", "4", "", "8"}}};
  p.properties = {{"INSTALLLEVEL", "3"}, {"ProductName", "Demo"}, {"INSTALLDIR", "C:\\Old\\"}};
  p.featureStates = {{"Main", 3}, {"Docs", 3}, {"Extras", -1}};
  return p;
}

struct UIRunResult {
  test::Log log = std::make_shared<std::vector<std::string>>();
  test::RecordingHost host{log};
  std::ostringstream err;
  int status = -1;
  std::string dump;

  explicit UIRunResult(const FakePackage& package, std::string save = "") {
    host.saveAnswer = std::move(save);
    const auto scratch = test::scratchDir();
    const auto file = scratch / "dump.txt";
    setenv("TMPDIR", scratch.c_str(), 1);
    std::map<std::string, FakePackage> packages{{"p.msi", package}, {transform::GetTempFolder() + "temp.msi", package}};
    auto options = driver::ParseCommandLine(std::vector<std::string>{"--dump-tables", file.string(), "p.msi"});
    status = driver::Main(options, {host, [&] { return std::make_shared<test::FakeInstaller>(log, packages); }, err, false});
    unsetenv("TMPDIR");
    std::ifstream in(file);
    std::stringstream text;
    text << in.rdbuf();
    dump = text.str();
  }
  std::string Section(const std::string& name) const {
    auto start = dump.find("# " + name + "\n");
    if (start == std::string::npos) return "<missing>";
    start += name.size() + 3;
    return dump.substr(start, dump.find("# ", start) - start);
  }
  std::vector<std::string> Actions() const {
    std::vector<std::string> out;
    for (const auto& e : *log)
      if (e.rfind("DoAction ", 0) == 0) out.push_back(e.substr(9));
    return out;
  }
  bool Logged(const std::string& entry) const { return std::find(log->begin(), log->end(), entry) != log->end(); }
};

TEST(UIRun, RunsTheRowsThatPassAndHoldsBackExecuteAction) {
  FakePackage p = Package({{"Costs", "", "500"},
                           {"Skipped", "NOPE", "600"},
                           {"Errs", "BAD", "650"},
                           {"Zero", "", "0"},
                           {"Negative", "", "-3"},
                           {"NullSequence", "", ""},
                           {"CostFinalize", "", "1000"},
                           {"Welcome", "", "1200"},
                           {"ExecuteAction", "", "1300"},
                           {"executeaction", "", "1400"},
                           {"After", "", "1500"}});
  p.conditions = {{"NOPE", 0}, {"BAD", 3}, {"", 2}};
  UIRunResult r(p, "/out/t.mst");
  EXPECT_EQ(r.Actions(), (std::vector<std::string>{"Costs", "CostFinalize", "Welcome", "executeaction", "After"}));
  // The fake's dialogs answer nothing: the package stays as it was.
  EXPECT_EQ(r.status, driver::kExitUnchanged);
}

TEST(UIRun, SnapshotAfterCostFinalizeAndRecaptureAtExecuteAction) {
  FakePackage p = Package({{"CostFinalize", "FALSE", "1000"}, {"Welcome", "", "1200"}, {"ExecuteAction", "FALSE", "1300"}});
  p.conditions = {{"FALSE", 0}};
  p.actionSetsFeatures["Welcome"] = {{"Docs", 2}, {"Extras", 3}};
  p.actionSetsProperties["Welcome"] = {{"INSTALLDIR", "C:\\New\\"}, {"ProductName", "Demo"}};
  UIRunResult r(p, "/out/t.mst");
  // The snapshot is taken even though CostFinalize did not run.
  EXPECT_EQ(r.Section("lvFeature"), "Main\t3\nDocs\t3\nExtras\t-1\n");
  EXPECT_EQ(r.Section("lvFeatureChanged"), "Main\t3\nDocs\t2\nExtras\t3\n");
  EXPECT_EQ(r.Section("lvPropertyChanged"), "INSTALLDIR\tC:\\\\New\\\\\n");
}

TEST(UIRun, NoCostFinalizeMeansNoSnapshotAndAnEmptyRecapture) {
  UIRunResult r(Package({{"Welcome", "", "1200"}, {"ExecuteAction", "", "1300"}}), "/out/t.mst");
  EXPECT_EQ(r.Section("lvFeature"), "");
  EXPECT_EQ(r.Section("lvFeatureChanged"), "");
}

TEST(UIRun, UserExitEndsTheRunWithTheStatusMessageAndNoTransform) {
  FakePackage p = Package({{"CostFinalize", "", "1000"}, {"Welcome", "", "1200"}, {"ExecuteAction", "", "1300"}});
  p.actionStatus = {{"Welcome", 2}};
  UIRunResult r(p, "/out/t.mst");
  EXPECT_EQ(r.status, driver::kExitActionFailed);
  ASSERT_EQ(r.host.boxes.size(), 1u);
  EXPECT_EQ(r.host.boxes[0].text, "An error occured executing action: Welcome\r\n\r\nIDCANCEL, user terminated prematurely.");
  EXPECT_EQ(r.host.boxes[0].title, "DoAction Error");
  EXPECT_EQ(r.host.boxes[0].style, ui::BoxStyle::Critical);
  EXPECT_FALSE(r.Logged("save prompt"));
  // Session and Installer are released before the box is shown.
  auto box = std::find(r.log->begin(), r.log->end(), "message box DoAction Error");
  auto session = std::find(r.log->begin(), r.log->end(), "release Session");
  auto installer = std::find(r.log->begin(), r.log->end(), "release Installer");
  EXPECT_LT(session, installer);
  EXPECT_LT(installer, box);
}

TEST(UIRun, StatusesAboveSevenHaveNoText) {
  FakePackage p = Package({{"Odd", "", "10"}});
  p.actionStatus = {{"Odd", 9}};
  UIRunResult r(p);
  ASSERT_EQ(r.host.boxes.size(), 1u);
  EXPECT_EQ(r.host.boxes[0].text, "An error occured executing action: Odd\r\n\r\n");
}

TEST(PropertyChanges, ExactComparisonListsEveryDifference) {
  FakePackage p = Package({{"Dlg", "", "10"}});
  p.tables["Property"].rows = {{"A", "x"}, {"B", "x"}, {"C", "x"}, {"D", ""}, {"E", "same"}, {"INSTALLLEVEL", "3"}};
  p.properties.insert({{"A", "x"}, {"B", "x"}, {"C", "x"}, {"E", "same"}});
  p.actionSetsProperties["Dlg"] = {{"A", "X"}, {"B", " x"}, {"C", ""}, {"D", "now"}, {"E", "same"}, {"NEW", "1"}};
  UIRunResult r(p);
  EXPECT_EQ(r.Section("lvPropertyChanged"), "A\tX\nB\t x\nC\t\nD\tnow\n");
}

}  // namespace
}  // namespace fennick::uirun
