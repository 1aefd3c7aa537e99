// Operations made on a wizard, recorded as a walk, read back as the same walk and replayed to
// the same choices.
#include <functional>

#include <gtest/gtest.h>

#include "engine/dialogs/walk_recorder.h"
#include "tests/dialogs/dialog_test_support.h"

namespace fennick::test {
namespace {

using msi::ActionStatus;
using msi::InstallState;
using msi::dialogs::FeatureChoice;
using msi::dialogs::Walk;
using msi::dialogs::WalkRecorder;
using msi::dialogs::Wizard;

// Plays each dialog action with a script, as a person at a renderer would, recording it.
class ScriptedRunner : public msi::DialogRunner {
 public:
  ScriptedRunner(WalkRecorder& recorder, std::function<void(Wizard&)> script)
      : recorder_(recorder), script_(std::move(script)) {}
  ActionStatus runDialog(msi::Session& session, std::string_view dialog) override {
    Wizard wizard(session, dialog);
    recorder_.follow(wizard);
    if (!wizard.finished()) script_(wizard);
    return wizard.result();
  }

 private:
  WalkRecorder& recorder_;
  std::function<void(Wizard&)> script_;
};

TEST(WalkRecorder, ARecordedWalkReplaysToTheSameChoices) {
  Walk recorded = Walk::parse("", "recorded.walk");
  WalkRecorder recorder(recorded);
  ScriptedRunner runner(recorder, [](Wizard& w) {
    w.press("Next");
    w.setValue("Folder", "C:\\Quoted \"Name\"\\");
    w.press("Back");
    w.press("Next");
    w.press("Next");  // a folder with a quote cannot be a target: the dialog stays
    w.setValue("Folder", "C:\\Plain\\");
    w.press("Next");
    w.choose("Tree", "Docs");
    w.setFeatureState("Docs", FeatureChoice::Absent);
    w.press("Next");
    w.press("Install");
  });
  KeptMessages host;
  auto first = openSession(demoPackage(), host, &runner);
  ASSERT_EQ(msi::runSequence(*first, "InstallUISequence").status, ActionStatus::Success) << host.all();
  recorder.recordSave("");

  const std::string text = recorded.text();
  EXPECT_NE(text.find("dialog WelcomeDlg\npress Next\ndialog InstallDirDlg\nset Folder \"C:\\\\Quoted \\\"Name\\\"\\\\\"\n"
                      "press Back\ndialog WelcomeDlg\npress Next\ndialog InstallDirDlg\npress Next\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("choose Tree \"Docs\"\nfeature Docs absent\n"), std::string::npos) << text;
  EXPECT_TRUE(text.ends_with("save cancel\n")) << text;

  auto replay = playWalk(demoPackage(), Walk::parse(text, "recorded.walk"));
  EXPECT_FALSE(replay->player->mismatch());
  const std::vector<std::string> facts{"INSTALLDIR=C:\\Plain\\", "&Docs=2", "_BrowseProperty=DocsDir"};
  EXPECT_EQ(factsOf(*first, host, facts), asLines(facts));
  EXPECT_EQ(replay->outcome(facts), "success" + asLines(facts));
}

// The example walk sets the folder, clears the shortcut and changes both features; the save
// step is left for the tool to take.
TEST(WalkRecorder, APlayerCanRecordWhatItReplays) {
  const Walk original = Walk::load(sourcePath("examples/demo.walk"));
  Walk again = Walk::parse("", "again.walk");
  WalkRecorder recorder(again);
  auto walk = std::make_shared<Walk>(original);
  msi::dialogs::WalkPlayer player(walk);
  player.addObserver(recorder);
  KeptMessages host;
  auto session = openSession(demoPackage(), host, &player);
  EXPECT_EQ(msi::runSequence(*session, "InstallUISequence").status, ActionStatus::Success) << host.all();
  EXPECT_FALSE(player.mismatch());
  EXPECT_TRUE(hasFacts(*session, host, {"INSTALLDIR=C:\\Demo\\", "DocsDir=C:\\Demo\\Docs\\", "DESKTOPSHORTCUT=",
                                        "&Extras=3", "&Complete=3"}));
  EXPECT_EQ(session->featureRequestState("Docs"), InstallState::Unknown);  // left out of a fresh install
  ASSERT_NE(walk->peek(), nullptr);
  EXPECT_EQ(walk->peek()->kind, msi::dialogs::WalkStep::Kind::Save);
  recorder.recordSave(walk->take().value);
  EXPECT_EQ(again.text(), original.text());
}

}  // namespace
}  // namespace fennick::test
