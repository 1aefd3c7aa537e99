// Walks through the wizards of real packages from several authoring tools, and the errors of
// walks that no longer fit them.
#include <gtest/gtest.h>

#include "tests/dialogs/dialog_test_support.h"
#include "tests/support/fixtures.h"
#include "tests/support/session_checks.h"
#include "tests/support/table_sections.h"

namespace fennick::test {
namespace {

using msi::ActionStatus;
using msi::InstallState;
using msi::dialogs::Walk;

const char* const kPutty = "ui-wix3-putty-installdir-featuretree/putty-0.68-installer.msi";

std::unique_ptr<PlayedRun> playFile(const char* package, const std::string& walk) {
  return playWalk(openFixture(package), Walk::load(sourcePath("tests/dialogs/walks/" + walk)));
}

std::unique_ptr<PlayedRun> playText(const std::string& package, const std::string& walk) {
  return playWalk(openFixture(package), Walk::parse(walk, "test.walk"));
}

// The dialog actions the sequence ran, with their results.
std::vector<std::pair<std::string, ActionStatus>> dialogActions(const PlayedRun& run) {
  std::vector<std::pair<std::string, ActionStatus>> out;
  for (const auto& step : run.sequence.steps)
    if (step.kind == msi::SequenceStep::Kind::Ran && run.session->actionKind(step.action) == msi::Session::ActionKind::Dialog)
      out.emplace_back(step.action, step.status);
  return out;
}

TEST(FixtureWalks, PuttyInstallsElsewhereWithAnotherFeatureSelection) {
  FENNICK_REQUIRE_FIXTURES();
  auto run = playFile(kPutty, "putty-featuretree.walk");
  EXPECT_TRUE(run->endedWith(ActionStatus::Success));
  EXPECT_EQ(run->property("INSTALLDIR"), "C:\\Tools\\PuTTY\\");
  EXPECT_EQ(run->property("WIXUI_INSTALLDIR_VALID"), "1");
  EXPECT_EQ(run->request("FilesFeature"), InstallState::Local);
  EXPECT_EQ(run->request("DesktopFeature"), InstallState::Local);
  EXPECT_EQ(run->request("PathFeature"), InstallState::Absent);
  EXPECT_EQ(run->request("PPKFeature"), InstallState::Local);
  const std::vector<std::pair<std::string, ActionStatus>> expected{
      {"PrepareDlg", ActionStatus::Success}, {"WelcomeDlg", ActionStatus::Success}, {"ProgressDlg", ActionStatus::Success}};
  EXPECT_EQ(dialogActions(*run), expected);
}

TEST(FixtureWalks, PuttyBrowseDialogChoosesTheFolder) {
  FENNICK_REQUIRE_FIXTURES();
  auto run = playFile(kPutty, "putty-browse.walk");
  EXPECT_TRUE(run->endedWith(ActionStatus::Success));
  EXPECT_EQ(run->property("INSTALLDIR"), "C:\\Program Files\\Terminals\\");
  EXPECT_EQ(run->session->targetPath("INSTALLDIR").value_or(""), "C:\\Program Files\\Terminals\\");
  EXPECT_EQ(run->request("FilesFeature"), InstallState::Local);
  EXPECT_EQ(run->request("PPKFeature"), InstallState::Absent);
  EXPECT_EQ(run->request("PathFeature"), InstallState::Absent);
  EXPECT_EQ(run->request("DesktopFeature"), InstallState::Absent);
}

TEST(FixtureWalks, GazeMinimalUIEndsAtTheModelessDialog) {
  FENNICK_REQUIRE_FIXTURES();
  auto run = playFile("ui-wix3-minimal-gaze/GazeToolbarInstall.msi", "gaze-minimal.walk");
  EXPECT_TRUE(run->endedWith(ActionStatus::Success));
  EXPECT_EQ(dialogActions(*run).size(), 3u);
}

TEST(FixtureWalks, TrickyLicenseMustBeAcceptedAndTheFolderNeverValidates) {
  FENNICK_REQUIRE_FIXTURES();
  auto run = playFile("ui-wix3-installdir-tricky/ui.msi", "tricky-license.walk");
  EXPECT_TRUE(run->endedWith(ActionStatus::UserExit));
  EXPECT_TRUE(hasProperties(*run->session, {{"LicenseAccepted", "1"}, {"WIXUI_INSTALLDIR_VALID", "0"},
                                            {"INSTALLFOLDER", "C:\\Program Files (x86)\\ui\\"}}));
}

TEST(FixtureWalks, WingetInstallsForTheCurrentUserElsewhere) {
  FENNICK_REQUIRE_FIXTURES();
  auto run = playFile("ui-vsinstaller-winget/AppInstallerTestMsiInstaller.msi", "winget-folder.walk");
  EXPECT_TRUE(run->endedWith(ActionStatus::Success));
  EXPECT_TRUE(hasProperties(*run->session, {{"TARGETDIR", "C:\\Apps\\Winget Test\\"}, {"FolderForm_AllUsers", "ME"},
                                            {"ALLUSERS", ""}}));
}

// The tree runs its control events when a feature changes: the package's [FEATURE_SELECTED]
// event makes the folder of "another location" editable, and Next installs there.
TEST(FixtureWalks, ChoosingAFeatureRunsTheTreesEventsAndOpensItsFolder) {
  FENNICK_REQUIRE_FIXTURES();
  auto run = playText("ui-pymsilib-irida-pythonfeatures/iridaUploader-0.1.win32.msi",
                      "choose AdminInstall \"ALL\"\npress Next\ndialog SelectFeaturesDlg\n"
                      "feature PythonX local\nset PathEdit \"C:\\\\Py\\\\\"\npress Next\n");
  EXPECT_TRUE(run->endedWith(ActionStatus::Success));
  EXPECT_TRUE(hasProperties(*run->session, {{"FEATURE_SELECTED", "1"}, {"TARGETDIRX", "C:\\Py\\"},
                                            {"TARGETDIR", "C:\\Py\\"}}));
}

TEST(FixtureWalks, FiletypeBrowsesForAFolderAndInstallsForEveryone) {
  FENNICK_REQUIRE_FIXTURES();
  auto run = playFile("ui-vsinstaller-filetype-small/fixture.msi", "filetype-browse.walk");
  EXPECT_TRUE(run->endedWith(ActionStatus::Success));
  EXPECT_TRUE(hasProperties(*run->session, {{"TARGETDIR", "C:\\Program Files\\File Type\\"},
                                            {"FolderForm_AllUsers", "ALL"},
                                            {"ALLUSERS", "2"}}));
}

TEST(FixtureWalks, CancellingEveryWizardGivesUserExit) {
  FENNICK_REQUIRE_FIXTURES();
  for (const auto& c : caseRows(sourcePath("tests/dialogs/walks/cancels.txt"))) {
    const std::string& package = c.at(0);
    auto run = playText(package, c.at(1));
    EXPECT_TRUE(run->endedWith(ActionStatus::UserExit)) << package;
  }
}

TEST(FixtureWalks, WalksThatNoLongerFitSayWhereAndWhy) {
  FENNICK_REQUIRE_FIXTURES();
  for (const auto& c : caseRows(sourcePath("tests/dialogs/walks/mismatches.txt"))) {
    auto run = playText(c.at(0), c.at(1));
    ASSERT_TRUE(run->player->mismatch()) << c[0] << ": " << c[1];
    EXPECT_EQ(std::string(run->player->mismatch()->what()), c.at(2));
    EXPECT_EQ(run->sequence.status, ActionStatus::Failure);
  }
}

}  // namespace
}  // namespace fennick::test
