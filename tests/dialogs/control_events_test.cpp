// Pressing buttons: which ControlEvent rows run, in what order, and how dialogs change.
#include <gtest/gtest.h>

#include <sstream>

#include "engine/dialogs/wizard.h"
#include "tests/dialogs/dialog_test_support.h"
#include "tests/support/table_sections.h"

namespace fennick::test {
namespace {

using msi::ActionStatus;
using msi::dialogs::OperationError;
using msi::dialogs::Wizard;

// The package of packages/control_events.txt named `name` (by default like the running test),
// over its dialogs A, B, C, Child and Progress.
struct Fixture {
  explicit Fixture(const std::string& name = "") {
    const std::string file = "dialogs/packages/control_events.txt";
    auto tables = packageRows(file, name);
    for (const auto& [table, rows] : packageRows(file, "dialogs")) tables[table] = rows + tables[table];
    session = openSession(rowsPackage(tables), host);
  }
  KeptMessages host;
  std::unique_ptr<msi::Session> session;
};

TEST(ControlEvents, PressesEndAsTheirTableSays) {
  for (const auto& c : caseRows(sourcePath("tests/dialogs/packages/control_events.txt"), "presses")) {
    SCOPED_TRACE(c.at(0) + ": " + c.at(1));
    Fixture f(c[0]);
    Wizard w(*f.session, "A");
    std::istringstream buttons(c[1]);
    for (std::string button; buttons >> button;) w.press(button);
    std::string shown;
    for (const auto* d : w.dialogs()) shown += (shown.empty() ? "" : " ") + d->name;
    if (w.finished()) shown = msi::actionStatusName(w.result());
    const std::vector<std::string> facts(c.begin() + 3, c.end());
    EXPECT_EQ(shown + factsOf(*f.session, f.host, facts, &w), c.at(2) + asLines(facts));
  }
}

TEST(ControlEvents, AWizardOnAMissingDialogFailsNamingIt) {
  Fixture f("ModelessDialogsDoNotWait");
  Wizard missing(*f.session, "Absent");
  EXPECT_EQ(missing.result(), ActionStatus::Failure);
  EXPECT_TRUE(f.host.said("dialog `Absent` is not in the Dialog table"));
}

TEST(ControlEvents, ResetUndoesWhatChangedSinceTheDialogAppeared) {
  Fixture f;
  Wizard w(*f.session, "A");
  w.setValue("Name", "typed");
  w.press("Other");
  EXPECT_EQ(f.session->property("NAME"), "typed");
  w.press("Go");
  EXPECT_EQ(f.session->property("NAME"), "original");
  EXPECT_EQ(f.session->property("ADDED"), "");
  EXPECT_EQ(w.active().find("Name")->value, "original");
}

TEST(ControlEvents, CancelAndEnterPressTheDialogsButtons) {
  Fixture f;
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
  Fixture f;
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
  auto session = openSession(rowsPackage(packageRows("dialogs/packages/control_events.txt")), host, &runner);
  msi::runSequence(*session, "InstallUISequence");
  const std::vector<std::string> expected{"Looking for Rows | ", "Looking for Rows | Property: FOUND, Signature: NoSuchSignature",
                                          "Setting it | Property: FOUND, Signature: NoSuchSignature",
                                          "Computing space requirements | Property: FOUND, Signature: NoSuchSignature"};
  EXPECT_EQ(runner.shown, expected) << host.all();

  for (const auto& r : caseRows(sourcePath("tests/dialogs/packages/control_events.txt"), "progress")) {
    session->reportProgress(std::stoi(r.at(0)), std::stoll(r.at(1)), std::stoll(r.at(2)));
    EXPECT_EQ(std::to_string(runner.bar()), r.at(3)) << r[0] << " " << r[1];
  }
  session->reportActionData({"", "A", "B"});  // each record moves the bar by the ticks given
  EXPECT_EQ(runner.bar(), 25);
  // The last action that ran has no template: the record's fields are listed.
  EXPECT_EQ(runner.shown.back(), "Computing space requirements | 1: A 2: B ");
}

}  // namespace
}  // namespace fennick::test
