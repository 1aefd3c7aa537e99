// Pressing buttons: which ControlEvent rows run, in what order, and how dialogs change.
#include <gtest/gtest.h>

#include "engine/dialogs/wizard.h"
#include "tests/dialogs/dialog_test_support.h"

namespace fennick::test {
namespace {

using msi::ActionStatus;
using msi::dialogs::OperationError;
using msi::dialogs::Wizard;

// Dialogs A, B, C and Child (modal), Progress (modeless); each has push buttons named in
// `buttons` ("Dialog.Button") and a Text control showing [SHOWN].
std::string dialogRows() {
  return tsv({"A", "50", "50", "200", "100", "3", "Dialog A", "Go", "Go", "Cancel"}) +
         tsv({"B", "50", "50", "200", "100", "3", "Dialog B", "Go", "Go", "Cancel"}) +
         tsv({"C", "50", "50", "200", "100", "3", "Dialog C", "Go", "Go", "Cancel"}) +
         tsv({"Child", "50", "50", "100", "50", "3", "Child", "Go", "Go", "Cancel"}) +
         tsv({"Progress", "50", "50", "100", "50", "1", "Working", "Go", "", ""});
}

std::string buttonRows(std::initializer_list<std::string_view> dialogs) {
  std::string rows;
  for (std::string_view d : dialogs) {
    for (std::string_view b : {"Go", "Other", "Cancel"})
      rows += tsv({d, b, "PushButton", "10", "70", "50", "17", "3", "", b, "", ""});
    rows += tsv({d, "Shown", "Text", "10", "10", "150", "20", "3", "", "[SHOWN]", "", ""});
  }
  return rows;
}

struct Fixture {
  explicit Fixture(const std::string& events, std::map<std::string, std::string> more = {}) {
    more["Dialog"] = dialogRows();
    more["Control"] = buttonRows({"A", "B", "C", "Child", "Progress"}) + more["Control"];
    more["ControlEvent"] = events;
    session = openSession(rowsPackage(more), host);
  }
  KeptMessages host;
  std::unique_ptr<msi::Session> session;
};

TEST(ControlEvents, PropertyRowsRunBeforeTheDialogChangesWhateverTheirOrdering) {
  Fixture f(tsv({"A", "Go", "NewDialog", "B", "1", "1"}) + tsv({"A", "Go", "[SHOWN]", "set by A", "1", "2"}));
  Wizard w(*f.session, "A");
  w.press("Go");
  ASSERT_FALSE(w.finished());
  EXPECT_EQ(w.active().name, "B");
  // B's text was formatted as it appeared: after the property row.
  EXPECT_EQ(w.active().find("Shown")->text, "set by A");
}

TEST(ControlEvents, EachConditionSeesTheRowsBeforeIt) {
  Fixture f(tsv({"A", "Go", "[STEP]", "1", "1", "1"}) + tsv({"A", "Go", "NewDialog", "B", "STEP = 1", "2"}) +
            tsv({"A", "Go", "NewDialog", "C", "NOT STEP", "3"}));
  Wizard w(*f.session, "A");
  w.press("Go");
  EXPECT_EQ(w.active().name, "B");
}

TEST(ControlEvents, OnlyTheLastDialogChangeCounts) {
  Fixture f(tsv({"A", "Go", "NewDialog", "C", "1", "2"}) + tsv({"A", "Go", "NewDialog", "B", "1", "1"}) +
            tsv({"A", "Other", "NewDialog", "B", "1", "1"}) + tsv({"A", "Other", "EndDialog", "Return", "1", "2"}));
  {
    Wizard w(*f.session, "A");
    w.press("Go");
    EXPECT_EQ(w.active().name, "C");
  }
  Wizard w(*f.session, "A");
  w.press("Other");
  EXPECT_TRUE(w.finished());
  EXPECT_EQ(w.result(), ActionStatus::Success);
}

TEST(ControlEvents, ABlankConditionRunsOnlyWhenNoOtherRowIsTrue) {
  Fixture f(tsv({"A", "Go", "[PICKED]", "first blank", "", "1"}) +
            tsv({"A", "Go", "[PICKED]", "last blank", "", "2"}) + tsv({"A", "Go", "[OTHER]", "x", "0", "3"}) +
            tsv({"A", "Other", "[PICKED]", "blank", "", "1"}) + tsv({"A", "Other", "[OTHER]", "x", "1", "2"}));
  Wizard w(*f.session, "A");
  w.press("Go");
  EXPECT_EQ(f.session->property("PICKED"), "last blank");
  EXPECT_EQ(f.session->property("OTHER"), "");
  f.session->setProperty("PICKED", "");
  w.press("Other");
  EXPECT_EQ(f.session->property("PICKED"), "");
  EXPECT_EQ(f.session->property("OTHER"), "x");
}

TEST(ControlEvents, PropertyRowsFormatTheirValueAndBracesUnsetIt) {
  Fixture f(tsv({"A", "Go", "[COPY]", "[ProductName] too", "1", "1"}) + tsv({"A", "Go", "[GONE]", "{}", "1", "2"}) +
                tsv({"A", "Go", "[BAD", "x", "1", "3"}),
            {{"Property", "ProductName\tRows\nGONE\there\n"}});
  Wizard w(*f.session, "A");
  w.press("Go");
  EXPECT_EQ(f.session->property("COPY"), "Rows too");
  EXPECT_EQ(f.session->property("GONE"), "");
  EXPECT_NE(f.host.all().find("event `[BAD` is neither an event nor a `[PROPERTY]`"), std::string::npos) << f.host.all();
}

TEST(ControlEvents, SpawnedChildReturnsToItsParent) {
  Fixture f(tsv({"A", "Go", "SpawnDialog", "Child", "1", "1"}) + tsv({"Child", "Go", "[SHOWN]", "from child", "1", "1"}) +
            tsv({"Child", "Go", "EndDialog", "Return", "1", "2"}) + tsv({"A", "Other", "EndDialog", "Return", "1", "1"}));
  Wizard w(*f.session, "A");
  w.press("Go");
  ASSERT_EQ(w.dialogs().size(), 2u);
  EXPECT_EQ(w.dialogs()[0]->name, "A");
  EXPECT_EQ(w.active().name, "Child");
  w.press("Go");  // the child's button: it takes the input
  EXPECT_EQ(f.session->property("SHOWN"), "from child");
  ASSERT_EQ(w.dialogs().size(), 1u);
  EXPECT_EQ(w.active().name, "A");
  w.press("Other");
  EXPECT_EQ(w.result(), ActionStatus::Success);
}

TEST(ControlEvents, EndDialogArgumentsEndTheWizardAsTheInstallerMapsThem) {
  const std::pair<const char*, ActionStatus> cases[] = {
      {"Exit", ActionStatus::UserExit}, {"Retry", ActionStatus::Suspend}, {"Ignore", ActionStatus::Finished},
      {"Sideways", ActionStatus::Failure}};
  for (const auto& [argument, status] : cases) {
    Fixture f(tsv({"A", "Go", "SpawnDialog", "Child", "1", "1"}) + tsv({"Child", "Go", "EndDialog", argument, "1", "1"}));
    Wizard w(*f.session, "A");
    w.press("Go");
    w.press("Go");  // in the child: ends the whole wizard, whatever dialog spawned it
    EXPECT_TRUE(w.finished()) << argument;
    EXPECT_EQ(w.result(), status) << argument;
  }
}

TEST(ControlEvents, ModelessDialogsDoNotWait) {
  Fixture f(tsv({"A", "Go", "NewDialog", "Progress", "1", "1"}) + tsv({"A", "Other", "SpawnDialog", "Progress", "1", "1"}));
  {
    Wizard w(*f.session, "Progress");
    EXPECT_TRUE(w.finished());
    EXPECT_EQ(w.result(), ActionStatus::Success);
    EXPECT_THROW(w.press("Go"), OperationError);
  }
  Wizard w(*f.session, "A");
  w.press("Other");
  EXPECT_FALSE(w.finished());
  EXPECT_EQ(w.active().name, "A");
  w.press("Go");
  EXPECT_EQ(w.result(), ActionStatus::Success);
}

TEST(ControlEvents, AMissingDialogEndsWithFailureNamingIt) {
  Fixture f(tsv({"A", "Go", "NewDialog", "Nowhere", "1", "1"}));
  {
    Wizard w(*f.session, "Absent");
    EXPECT_EQ(w.result(), ActionStatus::Failure);
    EXPECT_NE(f.host.all().find("dialog `Absent` is not in the Dialog table"), std::string::npos) << f.host.all();
  }
  Wizard w(*f.session, "A");
  w.press("Go");
  EXPECT_EQ(w.result(), ActionStatus::Failure);
  EXPECT_NE(f.host.all().find("dialog `A` control `Go`: NewDialog names dialog `Nowhere`, which is not in the Dialog table"),
            std::string::npos)
      << f.host.all();
}

TEST(ControlEvents, ResetUndoesWhatChangedSinceTheDialogAppeared) {
  Fixture f(tsv({"A", "Other", "[ADDED]", "x", "1", "1"}) + tsv({"A", "Go", "Reset", "0", "1", "1"}),
            {{"Property", "ProductName\tRows\nNAME\toriginal\n"},
             {"Control", tsv({"A", "Name", "Edit", "10", "40", "100", "18", "3", "NAME", "", "", ""})}});
  Wizard w(*f.session, "A");
  w.setValue("Name", "typed");
  w.press("Other");
  EXPECT_EQ(f.session->property("NAME"), "typed");
  w.press("Go");
  EXPECT_EQ(f.session->property("NAME"), "original");
  EXPECT_EQ(f.session->property("ADDED"), "");
  EXPECT_EQ(w.active().find("Name")->value, "original");
}

TEST(ControlEvents, DoActionRunsTheActionAndUnknownEventsArePassedOver) {
  Fixture f(tsv({"A", "Go", "DoAction", "SetIt", "1", "1"}) + tsv({"A", "Go", "Teleport", "Mars", "1", "2"}),
            {{"CustomAction", tsv({"SetIt", "51", "DONE", "yes [ProductName]", ""})}});
  Wizard w(*f.session, "A");
  w.press("Go");
  EXPECT_EQ(f.session->property("DONE"), "yes Rows");
  EXPECT_NE(f.host.all().find("dialog `A` control `Go`: event `Teleport` is not supported here"), std::string::npos)
      << f.host.all();
  EXPECT_FALSE(w.finished());
}

TEST(ControlEvents, ACheckTargetPathThatFailsStopsTheRemainingRows) {
  Fixture f(tsv({"A", "Go", "CheckTargetPath", "TARGET", "1", "1"}) + tsv({"A", "Go", "[AFTER]", "ran", "1", "2"}) +
                tsv({"A", "Go", "NewDialog", "B", "1", "3"}),
            {{"Property", "ProductName\tRows\nTARGET\tQ:\\Nope\\\n"}});
  Wizard w(*f.session, "A");
  w.press("Go");
  EXPECT_EQ(w.active().name, "A");
  EXPECT_EQ(f.session->property("AFTER"), "");
  EXPECT_NE(f.host.all().find("CheckTargetPath: `Q:\\Nope\\` is on drive Q:, which this machine does not have"),
            std::string::npos)
      << f.host.all();
  f.session->setProperty("TARGET", "C:\\Fine\\");
  w.press("Go");
  EXPECT_EQ(w.active().name, "B");
  EXPECT_EQ(f.session->property("AFTER"), "ran");
}

TEST(ControlEvents, CancelAndEnterPressTheDialogsButtons) {
  Fixture f(tsv({"A", "Cancel", "EndDialog", "Exit", "1", "1"}) + tsv({"A", "Go", "NewDialog", "B", "1", "1"}));
  {
    Wizard w(*f.session, "A");
    EXPECT_TRUE(w.pressDefault());
    EXPECT_EQ(w.active().name, "B");
    EXPECT_TRUE(w.cancel());  // B's Cancel publishes nothing
    EXPECT_FALSE(w.finished());
  }
  Wizard w(*f.session, "A");
  EXPECT_TRUE(w.cancel());
  EXPECT_EQ(w.result(), ActionStatus::UserExit);
  EXPECT_FALSE(w.cancel());
}

TEST(ControlEvents, ObserversHearOfOperationsDialogChangesAndTheEnd) {
  struct Log : msi::dialogs::WizardObserver {
    void operation(const Wizard& w, std::string_view dialog, const msi::dialogs::WalkStep& step) override {
      lines.push_back(std::string(dialog) + ": " + step.describe());
    }
    void dialogChanged(const Wizard& w) override { lines.push_back("now " + w.active().name); }
    void finished(const Wizard& w) override { lines.push_back("end " + std::to_string(static_cast<int>(w.result()))); }
    std::vector<std::string> lines;
  };
  Fixture f(tsv({"A", "Go", "SpawnDialog", "Child", "1", "1"}) + tsv({"Child", "Go", "EndDialog", "Return", "1", "1"}) +
            tsv({"A", "Other", "NewDialog", "B", "1", "1"}) + tsv({"B", "Cancel", "EndDialog", "Exit", "1", "1"}));
  Wizard w(*f.session, "A");
  Log log;
  w.addObserver(log);
  w.addObserver(log);  // once is enough
  w.press("Go");
  w.press("Go");
  EXPECT_THROW(w.press("Missing"), OperationError);
  w.press("Other");
  w.press("Cancel");
  const std::vector<std::string> expected{"A: press Go",    "now Child", "Child: press Go", "now A",
                                          "A: press Other", "now B",     "B: press Cancel", "end 2"};
  EXPECT_EQ(log.lines, expected);
  w.removeObserver(log);
  EXPECT_EQ(w.dialogs().size(), 1u);  // what was on screen as the user left
  EXPECT_THROW(w.press("Go"), OperationError);
}

// A modeless dialog stays on screen while the sequence runs on and shows what the installer
// publishes: each action's ActionText description (the package's row, else the service's own
// text), the records it reports (ActionData, by its template) and its progress (SetProgress).
TEST(PublishedEvents, AModelessDialogFollowsTheRunningActions) {
  struct KeepModeless : msi::DialogRunner, msi::dialogs::WizardObserver {
    ActionStatus runDialog(msi::Session& session, std::string_view dialog) override {
      kept = std::make_unique<Wizard>(session, dialog);
      kept->addObserver(*this);
      return kept->result();
    }
    void published(const Wizard& w) override {
      const auto& d = *w.dialogs().back();
      shown.push_back(d.find("Action")->text + " | " + d.find("Data")->text);
    }
    int bar() const { return kept->dialogs().back()->find("Bar")->progress; }
    std::unique_ptr<Wizard> kept;
    std::vector<std::string> shown;
  } runner;
  KeptMessages host;
  auto session = openSession(
      rowsPackage({{"Dialog", tsv({"Wait", "50", "50", "200", "100", "1", "Wait", "Action", "", ""})},
                   {"Control", tsv({"Wait", "Action", "Text", "10", "10", "180", "15", "3", "", "", "", ""}) +
                                   tsv({"Wait", "Data", "Text", "10", "30", "180", "15", "3", "", "", "", ""}) +
                                   tsv({"Wait", "Bar", "ProgressBar", "10", "50", "180", "10", "3", "", "", "", ""})},
                   {"EventMapping", tsv({"Wait", "Action", "ActionText", "Text"}) +
                                        tsv({"Wait", "Data", "ActionData", "Text"}) +
                                        tsv({"Wait", "Bar", "SetProgress", "Progress"})},
                   {"ActionText", tsv({"AppSearch", "Looking for [ProductName]", "Property: [1], Signature: [2]"}) +
                                      tsv({"SetIt", "Setting it", ""})},
                   {"AppSearch", tsv({"FOUND", "NoSuchSignature"})},
                   {"CustomAction", tsv({"SetIt", "51", "IT", "1", ""})},
                   {"InstallUISequence", tsv({"Wait", "", "10"}) + tsv({"AppSearch", "", "20"}) +
                                             tsv({"SetIt", "", "30"}) + tsv({"CostInitialize", "", "40"})}}),
      host, &runner);
  msi::runSequence(*session, "InstallUISequence");
  const std::vector<std::string> expected{"Looking for Rows | ", "Looking for Rows | Property: FOUND, Signature: NoSuchSignature",
                                          "Setting it | Property: FOUND, Signature: NoSuchSignature",
                                          "Computing space requirements | Property: FOUND, Signature: NoSuchSignature"};
  EXPECT_EQ(runner.shown, expected) << host.all();

  // Progress in units of 512 ticks: a reset, moves, more to do, ticks per record, a countdown.
  struct Report {
    int type;
    long long first, second;
    int percent;  // the bar afterwards
  };
  for (const Report& r : {Report{0, 512 * 10, 0, 0}, Report{2, 512 * 5, 0, 50}, Report{3, 512 * 10, 0, 25},
                          Report{2, 512 * 100, 0, 100}, Report{0, 512 * 4, 1, 100}, Report{2, 512, 0, 75},
                          Report{1, 512 * 2, 1, 75}}) {
    session->reportProgress(r.type, r.first, r.second);
    EXPECT_EQ(runner.bar(), r.percent) << r.type << " " << r.first;
  }
  session->reportActionData({"", "A", "B"});  // each record moves the bar by the ticks given
  EXPECT_EQ(runner.bar(), 25);
  // The last action that ran has no template: the record's fields are listed.
  EXPECT_EQ(runner.shown.back(), "Computing space requirements | 1: A 2: B ");
}

}  // namespace
}  // namespace fennick::test
