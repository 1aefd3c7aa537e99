// Actions run by name: standard actions, custom actions, dialogs, and the sequence runner.
#include <gtest/gtest.h>

#include "engine/session/sequence_runner.h"
#include "engine/session/session.h"
#include "tests/session/test_package.h"
#include "tests/support/error_text.h"
#include "tests/support/session_checks.h"

namespace {

using namespace fennick::test;
using msi::ActionStatus;
using msi::MessageKind;

class CountingDialogs : public msi::DialogRunner {
 public:
  ActionStatus runDialog(msi::Session& session, std::string_view dialog) override {
    shown.emplace_back(dialog);
    // A dialog whose events run the dialog action again must not recurse without end.
    if (dialog == "Loop") return session.doAction("Loop");
    return answer;
  }
  std::vector<std::string> shown;
  ActionStatus answer = ActionStatus::Success;
};

TEST(Actions, UnknownNamesDoNothingAndDialogsNeedARunnerAndFullUI) {
  TestPackage pkg;
  pkg.add("Dialog", {{"WelcomeDlg", "Welcome"}, {"Loop", "Loop"}});
  RecordingHost host;
  auto session = pkg.open(testOptions(&host));
  EXPECT_EQ(session->doAction("NoSuchAction"), ActionStatus::NoAction);
  EXPECT_EQ(session->actionKind("WelcomeDlg"), msi::Session::ActionKind::Dialog);
  EXPECT_EQ(session->actionKind("CostFinalize"), msi::Session::ActionKind::Standard);
  EXPECT_EQ(session->actionKind("costfinalize"), msi::Session::ActionKind::Unknown);

  EXPECT_EQ(session->doAction("WelcomeDlg"), ActionStatus::Failure);
  EXPECT_NE(host.all(MessageKind::Error).find("dialogs are not available yet"), std::string::npos);

  CountingDialogs dialogs;
  dialogs.answer = ActionStatus::UserExit;
  session->setDialogRunner(&dialogs);
  EXPECT_EQ(session->doAction("WelcomeDlg"), ActionStatus::UserExit);
  EXPECT_EQ(session->doAction("Loop"), ActionStatus::Failure);
  EXPECT_NE(host.all(MessageKind::Error).find("nested"), std::string::npos);

  session->setUILevel(msi::kUILevelBasic);
  EXPECT_EQ(session->property("UILevel"), "3");
  dialogs.shown.clear();
  EXPECT_EQ(session->doAction("WelcomeDlg"), ActionStatus::NoAction);
  EXPECT_TRUE(dialogs.shown.empty());

  EXPECT_EQ(session->doAction("InstallFiles"), ActionStatus::NoAction);
  EXPECT_NE(host.all(MessageKind::Warning).find("InstallFiles"), std::string::npos);
}

TEST(Actions, LaunchConditionsShowTheFirstFailingTextAndFail) {
  TestPackage pkg("packages/actions.txt");
  RecordingHost host;
  auto session = pkg.open(testOptions(&host));
  EXPECT_EQ(session->doAction("LaunchConditions"), ActionStatus::Success);
  session->setProperty("LEGACY", "1");
  EXPECT_EQ(session->doAction("LaunchConditions"), ActionStatus::Failure);
  EXPECT_EQ(host.all(MessageKind::Error), "Demo found an old version");
}

TEST(CustomActions, DataTypesRunNativeCodeIsSkippedAndOptionBitsCount) {
  TestPackage pkg("packages/actions.txt");
  RecordingHost host;
  auto session = pkg.open(testOptions(&host));
  for (const char* action : {"SetProp", "SetFirst", "Counter", "Counter", "Deferred"})
    EXPECT_EQ(session->doAction(action), ActionStatus::Success) << action;
  EXPECT_TRUE(answers(*session));

  // Type 35 needs resolved directories.
  EXPECT_EQ(session->doAction("SetDir"), ActionStatus::Failure);
  EXPECT_NE(host.all(MessageKind::Error).find("CostFinalize"), std::string::npos);
  session->doAction("CostInitialize");
  session->doAction("CostFinalize");
  EXPECT_EQ(session->doAction("SetDir"), ActionStatus::Success);
  EXPECT_EQ(session->targetPath("Sub"), "C:\\Apps\\Demo\\sub\\");

  host.messages.clear();
  EXPECT_EQ(session->doAction("Fail"), ActionStatus::Failure);
  EXPECT_EQ(session->doAction("FailText"), ActionStatus::Failure);
  EXPECT_EQ(host.all(MessageKind::Error), "Error [1] for Demo\nCannot go on: Demo");

  EXPECT_EQ(session->doAction("Native"), ActionStatus::Success);
  EXPECT_EQ(session->doAction("Script"), ActionStatus::Success);
  EXPECT_TRUE(holds(host.all(MessageKind::Warning), {"`Native` (type 65), DLL in the Binary table",
                                                      "`Script` (type 54), VBScript named by a property"}));
}

TEST(CustomActions, DotNetRuntimeCheckReadsTheMachinesRuntimes) {
  TestPackage pkg;
  pkg.add("Property", {{"VSDNETCOREVERSIONREQUIRED", "8.0.0"}});
  pkg.add("CustomAction", {{"DIRCA_CheckNETCore", 1, "MSVBDPCADLL", "CheckNETCore"}});
  pkg.add("_VsdLaunchCondition", {{"RUNTIME_OK", "[VSDNETCOREMSG]", {}}});
  const std::string key =
      "HKEY_LOCAL_MACHINE\\SOFTWARE\\dotnet\\Setup\\InstalledVersions\\x64\\sharedfx\\Microsoft.NETCore.App";
  for (const auto& [installed, found] : std::vector<std::pair<std::string, std::string>>{
           {"", ""}, {"6.0.36", ""}, {"8.0.11", "1"}, {"9.0.0", "1"}}) {
    msi::SessionOptions options = testOptions();
    if (!installed.empty()) options.machine.registry.setValue(key, installed, msi::RegValue::dword(1));
    auto session = pkg.open(options);
    EXPECT_EQ(session->doAction("DIRCA_CheckNETCore"), ActionStatus::Success);
    EXPECT_EQ(session->property("RUNTIME_OK"), found) << installed;
  }
}

TEST(AppSearch, OnlyTheStandardFoldersOfTheMachineAreFound) {
  TestPackage pkg("packages/actions.txt");
  auto session = pkg.open();
  EXPECT_EQ(session->doAction("AppSearch"), ActionStatus::Success);
  EXPECT_EQ(session->doAction("CCPSearch"), ActionStatus::Success);
  EXPECT_TRUE(answers(*session));
}

// (Order, false conditions and a failure that stops the run: the session peer and the demo
// walks.)
TEST(Sequences, RunInOrderSkipFalseConditionsAndStopAtFailureOrExecuteAction) {
  TestPackage pkg("packages/actions.txt");
  auto session = pkg.open();
  msi::SequenceOptions options;
  options.runDialogs = false;
  const auto run = msi::runSequence(*session, "InstallUISequence", options);
  ASSERT_TRUE(run.tableFound);
  EXPECT_EQ(run.steps.at(2).kind, msi::SequenceStep::Kind::DialogSkipped);
  EXPECT_EQ(run.steps.back().kind, msi::SequenceStep::Kind::ExecuteAction);
  options.stopAtExecuteAction = false;
  EXPECT_EQ(msi::runSequence(*session, "InstallUISequence", options).steps.back().action, "Stop");
  EXPECT_FALSE(msi::runSequence(*session, "AdminUISequence").tableFound);
}

}  // namespace
