#include <gtest/gtest.h>

#include "src/driver/run_state.h"
#include "src/driver/session_driver.h"
#include "tests/support/fake_installer.h"

namespace fennick::uirun {
namespace {

using test::FakePackage;

// The base package with the running test's tables.
FakePackage Package() {
  const std::string test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
  return test::ReadFakePackage(std::filesystem::path(__FILE__).parent_path() / "packages.txt", {"base", test});
}

using UIRunResult = test::ToolRun;

TEST(UIRun, RunsTheRowsThatPassAndHoldsBackExecuteAction) {
  UIRunResult r(Package(), "/out/t.mst");
  EXPECT_EQ(r.Matching("DoAction "), (std::vector<std::string>{"DoAction Costs", "DoAction CostFinalize", "DoAction Welcome",
                                                                "DoAction executeaction", "DoAction After"}));
  // The fake's dialogs answer nothing: the package stays as it was.
  EXPECT_EQ(r.status, driver::kExitUnchanged);
}

TEST(UIRun, SnapshotAfterCostFinalizeAndRecaptureAtExecuteAction) {
  UIRunResult r(Package(), "/out/t.mst");
  // The snapshot is taken even though CostFinalize did not run.
  EXPECT_EQ(r.Section("lvFeature"), "Main\t3\nDocs\t3\nExtras\t-1\n");
  EXPECT_EQ(r.Section("lvFeatureChanged"), "Main\t3\nDocs\t2\nExtras\t3\n");
  EXPECT_EQ(r.Section("lvPropertyChanged"), "INSTALLDIR\tC:\\\\New\\\\\n");
}

TEST(UIRun, NoCostFinalizeMeansNoSnapshotAndAnEmptyRecapture) {
  UIRunResult r(Package(), "/out/t.mst");
  EXPECT_EQ(r.Section("lvFeature"), "");
  EXPECT_EQ(r.Section("lvFeatureChanged"), "");
}

// A user exit (2) ends the run with its status text; statuses above seven have none.
TEST(UIRun, FailedActionEndsTheRunWithTheStatusMessageAndNoTransform) {
  const std::pair<int, std::string> cases[] = {{2, "IDCANCEL, user terminated prematurely."}, {9, ""}};
  for (const auto& [status, text] : cases) {
    SCOPED_TRACE(status);
    FakePackage p = Package();
    p.actionStatus = {{"Welcome", status}};
    UIRunResult r(p, "/out/t.mst");
    EXPECT_EQ(r.status, driver::kExitActionFailed);
    EXPECT_EQ(r.host.boxes, (std::vector<test::RecordingHost::Box>{
                                {"An error occured executing action: Welcome\r\n\r\n" + text, ui::BoxStyle::Critical,
                                 "DoAction Error"}}));
    EXPECT_EQ(r.Position("save prompt"), -1);
    // Session and Installer are released before the box is shown.
    EXPECT_GE(r.Position("release Session"), 0);
    EXPECT_LT(r.Position("release Session"), r.Position("release Installer"));
    EXPECT_LT(r.Position("release Installer"), r.Position("message box DoAction Error"));
  }
}

TEST(PropertyChanges, ExactComparisonListsEveryDifference) {
  UIRunResult r(Package());
  EXPECT_EQ(r.Section("lvPropertyChanged"), "A\tX\nB\t x\nC\t\nD\tnow\n");
}

}  // namespace
}  // namespace fennick::uirun
