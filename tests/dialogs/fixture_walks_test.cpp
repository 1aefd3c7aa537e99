// Walks through the wizards of real packages from several authoring tools, and the errors of
// walks that no longer fit them.
#include <gtest/gtest.h>

#include "tests/dialogs/dialog_test_support.h"
#include "tests/support/fixtures.h"

namespace fennick::test {
namespace {

using msi::ActionStatus;
using msi::InstallState;
using msi::dialogs::Walk;

const char* const kPutty = "ui-wix3-putty-installdir-featuretree/putty-0.68-installer.msi";
const char* const kGaze = "ui-wix3-minimal-gaze/GazeToolbarInstall.msi";
const char* const kTricky = "ui-wix3-installdir-tricky/ui.msi";
const char* const kWinget = "ui-vsinstaller-winget/AppInstallerTestMsiInstaller.msi";
const char* const kFiletype = "ui-vsinstaller-filetype-small/fixture.msi";
const char* const kIrida = "ui-pymsilib-irida-pythonfeatures/iridaUploader-0.1.win32.msi";

std::unique_ptr<PlayedRun> playFile(const char* package, const std::string& walk) {
  return playWalk(openFixture(package), Walk::load(sourcePath("tests/dialogs/walks/" + walk)));
}

std::unique_ptr<PlayedRun> playText(const char* package, const std::string& walk) {
  return playWalk(openFixture(package), Walk::parse(walk, "test.walk"));
}

std::string mismatchOf(const PlayedRun& run) {
  return run.player->mismatch() ? run.player->mismatch()->what() : std::string("(no mismatch)");
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
  EXPECT_EQ(run->sequence.status, ActionStatus::Success) << mismatchOf(*run) << run->host.all();
  EXPECT_EQ(run->walk->peek(), nullptr);
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
  EXPECT_EQ(run->sequence.status, ActionStatus::Success) << mismatchOf(*run) << run->host.all();
  EXPECT_EQ(run->property("INSTALLDIR"), "C:\\Program Files\\Terminals\\");
  EXPECT_EQ(run->session->targetPath("INSTALLDIR").value_or(""), "C:\\Program Files\\Terminals\\");
  EXPECT_EQ(run->request("FilesFeature"), InstallState::Local);
  EXPECT_EQ(run->request("PPKFeature"), InstallState::Absent);
  EXPECT_EQ(run->request("PathFeature"), InstallState::Absent);
  EXPECT_EQ(run->request("DesktopFeature"), InstallState::Absent);
}

TEST(FixtureWalks, GazeMinimalUIEndsAtTheModelessDialog) {
  FENNICK_REQUIRE_FIXTURES();
  auto run = playFile(kGaze, "gaze-minimal.walk");
  EXPECT_EQ(run->sequence.status, ActionStatus::Success) << mismatchOf(*run) << run->host.all();
  EXPECT_EQ(run->walk->peek(), nullptr);
  EXPECT_EQ(dialogActions(*run).size(), 3u);
}

TEST(FixtureWalks, TrickyLicenseMustBeAcceptedAndTheFolderNeverValidates) {
  FENNICK_REQUIRE_FIXTURES();
  auto run = playFile(kTricky, "tricky-license.walk");
  EXPECT_FALSE(run->player->mismatch()) << mismatchOf(*run);
  EXPECT_EQ(run->sequence.status, ActionStatus::UserExit);
  EXPECT_EQ(run->walk->peek(), nullptr);
  EXPECT_EQ(run->property("LicenseAccepted"), "1");
  EXPECT_EQ(run->property("WIXUI_INSTALLDIR_VALID"), "0");
  EXPECT_EQ(run->property("INSTALLFOLDER"), "C:\\Program Files (x86)\\ui\\");
}

TEST(FixtureWalks, WingetInstallsForTheCurrentUserElsewhere) {
  FENNICK_REQUIRE_FIXTURES();
  auto run = playFile(kWinget, "winget-folder.walk");
  EXPECT_EQ(run->sequence.status, ActionStatus::Success) << mismatchOf(*run) << run->host.all();
  EXPECT_EQ(run->walk->peek(), nullptr);
  EXPECT_EQ(run->property("TARGETDIR"), "C:\\Apps\\Winget Test\\");
  EXPECT_EQ(run->property("FolderForm_AllUsers"), "ME");
  EXPECT_EQ(run->property("ALLUSERS"), "");
}

// The tree runs its control events when a feature changes: the package's [FEATURE_SELECTED]
// event makes the folder of "another location" editable, and Next installs there.
TEST(FixtureWalks, ChoosingAFeatureRunsTheTreesEventsAndOpensItsFolder) {
  FENNICK_REQUIRE_FIXTURES();
  auto run = playText(kIrida,
                      "choose AdminInstall \"ALL\"\npress Next\ndialog SelectFeaturesDlg\n"
                      "feature PythonX local\nset PathEdit \"C:\\\\Py\\\\\"\npress Next\n");
  EXPECT_EQ(run->sequence.status, ActionStatus::Success) << mismatchOf(*run) << run->host.all();
  EXPECT_EQ(run->walk->peek(), nullptr);
  EXPECT_EQ(run->property("FEATURE_SELECTED"), "1");
  EXPECT_EQ(run->property("TARGETDIRX"), "C:\\Py\\");
  EXPECT_EQ(run->property("TARGETDIR"), "C:\\Py\\");
}

TEST(FixtureWalks, FiletypeBrowsesForAFolderAndInstallsForEveryone) {
  FENNICK_REQUIRE_FIXTURES();
  auto run = playFile(kFiletype, "filetype-browse.walk");
  EXPECT_EQ(run->sequence.status, ActionStatus::Success) << mismatchOf(*run) << run->host.all();
  EXPECT_EQ(run->walk->peek(), nullptr);
  EXPECT_EQ(run->property("TARGETDIR"), "C:\\Program Files\\File Type\\");
  EXPECT_EQ(run->property("FolderForm_AllUsers"), "ALL");
  EXPECT_EQ(run->property("ALLUSERS"), "2");
}

TEST(FixtureWalks, CancellingEveryWizardGivesUserExit) {
  FENNICK_REQUIRE_FIXTURES();
  const std::pair<const char*, const char*> cases[] = {
      {kPutty, "dialog WelcomeDlg\npress Cancel\ndialog CancelDlg\npress Yes\n"},
      {kGaze, "press Cancel\npress No\ndialog WelcomeDlg\npress Cancel\npress Yes\n"},
      {kTricky, "press Next\ndialog LicenseAgreementDlg\npress Cancel\npress Yes\n"},
      {kWinget, "press NextButton\ndialog FolderForm\npress CancelButton\ndialog Cancel\npress YesButton\n"},
      {kFiletype, "press CancelButton\npress NoButton\npress CancelButton\npress YesButton\n"},
  };
  for (const auto& [package, walk] : cases) {
    auto run = playText(package, walk);
    EXPECT_FALSE(run->player->mismatch()) << package << ": " << mismatchOf(*run);
    EXPECT_EQ(run->sequence.status, ActionStatus::UserExit) << package;
    EXPECT_EQ(run->walk->peek(), nullptr) << package;
  }
}

TEST(FixtureWalks, WalksThatNoLongerFitSayWhereAndWhy) {
  FENNICK_REQUIRE_FIXTURES();
  const std::tuple<const char*, const char*, const char*> cases[] = {
      {kTricky, "press Next\nset Accept on\n",
       "test.walk:2: `set Accept \"on\"`: dialog `LicenseAgreementDlg`: no control `Accept`"},
      {kTricky, "press Next\npress Next\n",
       "test.walk:2: `press Next`: dialog `LicenseAgreementDlg`: control `Next` is disabled"},
      {kPutty, "press Next\npress Next\nfeature FilesFeature absent\n",
       "test.walk:3: `feature FilesFeature absent`: dialog `FeaturesDlg`: feature `FilesFeature` cannot be left out "
       "(UIDisallowAbsent)"},
      {kPutty, "press Next\npress Next\npress InstallNoShield\n",
       "test.walk:3: `press InstallNoShield`: dialog `FeaturesDlg`: control `InstallNoShield` is hidden"},
      {kPutty, "press Next\ndialog LicenseAgreementDlg\n",
       "test.walk:2: expected dialog `LicenseAgreementDlg`, but the package shows `InstallDirDlg`"},
      {kWinget, "press NextButton\nchoose AllUsersRadioGroup \"Nobody\"\n",
       "test.walk:2: `choose AllUsersRadioGroup \"Nobody\"`: dialog `FolderForm`: control `AllUsersRadioGroup` has no "
       "item `Nobody` (items: ALL, ME)"},
      {kGaze, "", "test.walk: the walk ended, but dialog `WelcomeDlg` waits for an answer"},
  };
  for (const auto& [package, walk, error] : cases) {
    auto run = playText(package, walk);
    ASSERT_TRUE(run->player->mismatch()) << package << ": " << walk;
    EXPECT_EQ(std::string(run->player->mismatch()->what()), error);
    EXPECT_EQ(run->sequence.status, ActionStatus::Failure);
  }
}

}  // namespace
}  // namespace fennick::test
