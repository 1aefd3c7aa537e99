// The project's demo package played from its walk, and the ways a walk stops matching it.
#include <gtest/gtest.h>

#include "tests/dialogs/dialog_test_support.h"
#include "tests/support/table_sections.h"

namespace fennick::test {
namespace {

using msi::ActionStatus;
using msi::InstallState;
using msi::dialogs::Walk;

std::unique_ptr<PlayedRun> playDemo(const std::string& walkText,
                                    std::vector<std::pair<std::string, std::string>> properties = {}) {
  return playWalk(demoPackage(), Walk::parse(walkText, "test.walk"), std::move(properties));
}

TEST(DemoWalk, WithoutAnswersTheDefaultsStay) {
  auto run = playDemo("press Next\npress Next\npress Next\npress Install\n");
  EXPECT_TRUE(run->endedWith(ActionStatus::Success));
  EXPECT_EQ(run->property("INSTALLDIR"), "C:\\Program Files (x86)\\Fennick\\Fennick Demo\\");
  EXPECT_EQ(run->property("DESKTOPSHORTCUT"), "1");
  EXPECT_EQ(run->request("Docs"), InstallState::Local);
  // Extras' level is above INSTALLLEVEL: not selected.
  EXPECT_EQ(run->request("Extras"), InstallState::Absent);
}

TEST(DemoWalk, CancelEndsWithUserExit) {
  auto run = playDemo("dialog WelcomeDlg\npress Next\ndialog InstallDirDlg\npress Cancel\n");
  EXPECT_TRUE(run->endedWith(ActionStatus::UserExit));
  ASSERT_FALSE(run->sequence.steps.empty());
  EXPECT_EQ(run->sequence.steps.back().action, "WelcomeDlg");
  EXPECT_EQ(run->sequence.steps.back().status, ActionStatus::UserExit);
}

TEST(DemoWalk, AnInvalidFolderKeepsTheDialogAndSaysWhy) {
  // D: is not a volume of the machine: SetTargetPath refuses it and the dialog stays.
  auto run = playDemo("press Next\nset Folder \"D:\\\\Demo\\\\\"\npress Next\ndialog InstallDirDlg\npress Cancel\n");
  EXPECT_TRUE(run->endedWith(ActionStatus::UserExit));
  EXPECT_TRUE(run->host.said("dialog `InstallDirDlg` control `Next`: SetTargetPath: directory `INSTALLDIR`: "
                              "`D:\\Demo\\` is on drive D:"));
}

TEST(DemoWalk, MismatchesStopWithTheWalkFileLineAndCause) {
  for (const auto& c : caseRows(sourcePath("tests/dialogs/walks/demo-mismatches.txt"))) {
    SCOPED_TRACE(c.at(0));
    std::vector<std::pair<std::string, std::string>> properties;
    for (std::size_t i = 3; i < c.size(); ++i)
      properties.emplace_back(c[i].substr(0, c[i].find('=')), c[i].substr(c[i].find('=') + 1));
    auto run = playDemo(c.at(1), properties);
    ASSERT_TRUE(run->player->mismatch()) << "the walk played to its end";
    EXPECT_EQ(std::string(run->player->mismatch()->what()), c.at(2));
    EXPECT_EQ(run->sequence.status, ActionStatus::Failure);
    EXPECT_THROW(run->player->rethrowMismatch(), msi::dialogs::WalkError);
  }
}

TEST(DemoWalk, DialogActionsAfterAMismatchFailAtOnce) {
  auto db = demoPackage();
  KeptMessages host;
  auto walk = std::make_shared<Walk>(Walk::parse("dialog ReadyDlg\n", "test.walk"));
  msi::dialogs::WalkPlayer player(walk);
  auto session = openSession(db, host, &player);
  EXPECT_EQ(session->doAction("WelcomeDlg"), ActionStatus::Failure);
  ASSERT_TRUE(player.mismatch());
  EXPECT_EQ(session->doAction("WelcomeDlg"), ActionStatus::Failure);
  EXPECT_EQ(walk->peek(), nullptr);
}

}  // namespace
}  // namespace fennick::test
