#include <gtest/gtest.h>

#include "src/driver/run_state.h"
#include "src/driver/session_driver.h"
#include "tests/support/fake_installer.h"

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

using UIRunResult = test::ToolRun;

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

// A user exit (2) ends the run with its status text; statuses above seven have none.
TEST(UIRun, FailedActionEndsTheRunWithTheStatusMessageAndNoTransform) {
  const std::pair<int, std::string> cases[] = {{2, "IDCANCEL, user terminated prematurely."}, {9, ""}};
  for (const auto& [status, text] : cases) {
    SCOPED_TRACE(status);
    FakePackage p = Package({{"CostFinalize", "", "1000"}, {"Welcome", "", "1200"}, {"ExecuteAction", "", "1300"}});
    p.actionStatus = {{"Welcome", status}};
    UIRunResult r(p, "/out/t.mst");
    EXPECT_EQ(r.status, driver::kExitActionFailed);
    EXPECT_EQ(r.host.boxes, (std::vector<test::RecordingHost::Box>{
                                {"An error occured executing action: Welcome\r\n\r\n" + text, ui::BoxStyle::Critical,
                                 "DoAction Error"}}));
    EXPECT_FALSE(r.Logged("save prompt"));
    // Session and Installer are released before the box is shown.
    EXPECT_GE(r.Position("release Session"), 0);
    EXPECT_LT(r.Position("release Session"), r.Position("release Installer"));
    EXPECT_LT(r.Position("release Installer"), r.Position("message box DoAction Error"));
  }
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
