// The demo package's dialogs drawn with Qt and driven through their widgets, as a user would:
// the widgets sit where the control rows say, and clicking and typing reach the session and
// the walk recorder as the headless player's operations do.
#include <filesystem>
#include <functional>

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include "engine/dialogs/walk_recorder.h"
#include "engine/qt/dialog_picture.h"
#include "engine/qt/dialog_window.h"
#include "engine/qt/qt_dialog_runner.h"
#include "engine/qt/selection_tree_widget.h"
#include "engine/qt/unit_scale.h"
#include "engine/session/sequence_runner.h"
#include "tests/dialogs/dialog_test_support.h"
#include "tests/qt/qt_test_support.h"
#include "tests/support/fixtures.h"

namespace fennick::test {
namespace {

namespace fs = std::filesystem;
using msi::ActionStatus;
using msi::dialogs::Walk;
using msi::qt::DialogWindow;

DialogWindow* shownWindow() {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* window = dynamic_cast<DialogWindow*>(w); window && window->isVisible()) return window;
  return nullptr;
}

template <typename T>
T* widgetOf(DialogWindow& window, const std::string& control) {
  T* w = qobject_cast<T*>(window.controlWidget(control));
  if (!w) ADD_FAILURE() << "dialog `" << window.dialogName() << "`: no widget for `" << control << "`";
  return w;
}

// Answers each dialog the runner shows with the next scripted action, when the dialog it names
// is the one on screen. A run that stops matching is cancelled so the test ends.
struct Script {
  struct Step {
    std::string dialog;
    std::function<void(DialogWindow&)> act;
  };
  std::vector<Step> steps;
  std::size_t next = 0;
  int idleTicks = 0;
  std::vector<std::string> seen;

  void start(QTimer& timer) {
    QObject::connect(&timer, &QTimer::timeout, [this] { tick(); });
    timer.start(0);
  }
  void tick() {
    DialogWindow* window = shownWindow();
    if (!window) return;
    if (seen.empty() || seen.back() != window->dialogName()) seen.push_back(window->dialogName());
    if (next < steps.size() && window->dialogName() == steps[next].dialog) {
      idleTicks = 0;
      steps[next++].act(*window);
    } else if (++idleTicks > 1000) {
      ADD_FAILURE() << "dialog `" << window->dialogName() << "` waits, script at step " << next;
      window->done(0);
    }
  }
};

QStringList actionNames(const QMenu& menu) {
  QStringList out;
  for (const QAction* a : menu.actions()) out << a->objectName();
  return out;
}

void chooseFrom(QMenu& menu, const QString& choice) {
  for (QAction* a : menu.actions())
    if (a->objectName() == choice) return a->trigger();
  ADD_FAILURE() << "menu `" << menu.objectName().toStdString() << "` offers no `" << choice.toStdString() << "`";
}

void click(DialogWindow& window, const std::string& button) {
  if (auto* b = widgetOf<QPushButton>(window, button)) b->click();
}

// A dialog of the package in a window of its own, on a session of the fixed machine.
struct Opened {
  Opened(std::shared_ptr<msi::Database> db, const std::string& dialog)
      : session(openSession(std::move(db), host)), wizard(*session, dialog), window(wizard) {}
  QApplication& app = qtApplication();
  KeptMessages host;
  std::unique_ptr<msi::Session> session;
  msi::dialogs::Wizard wizard;
  DialogWindow window;
};

TEST(DialogWindow, WidgetsSitWhereTheControlRowsPutThem) {
  Opened o(demoPackage(), "InstallDirDlg");
  EXPECT_EQ(o.window.windowTitle(), "Fennick Demo Setup");
  // 370 x 270 units at 4/3 pixel a unit, as at 96 DPI.
  EXPECT_EQ(o.window.size(), QSize(493, 360));
  // Rows: Next 212 243 56 17; Folder 20 76 320 18; Shortcut 20 110 320 18.
  EXPECT_EQ(o.window.controlWidget("Next")->geometry(), QRect(283, 324, 75, 23));
  EXPECT_EQ(o.window.controlWidget("Folder")->geometry(), QRect(27, 101, 427, 24));
  EXPECT_EQ(o.window.controlWidget("Shortcut")->geometry(), QRect(27, 147, 427, 24));
  for (const auto& control : o.wizard.active().controls) {
    QWidget* w = o.window.controlWidget(control.name);
    ASSERT_NE(w, nullptr) << control.name;
    EXPECT_EQ(w->geometry().topLeft(), msi::qt::toPixels(control.rect).topLeft()) << control.name;
    EXPECT_EQ(w->isHidden(), !control.visible) << control.name;
    EXPECT_EQ(w->isEnabled(), control.enabled) << control.name;
  }
  // Texts: formatted, access keys kept (a label's focuses the control after it), the title styled.
  EXPECT_EQ(widgetOf<QLabel>(o.window, "FolderLabel")->text(), "&Install Fennick Demo to:");
  EXPECT_EQ(widgetOf<QLabel>(o.window, "FolderLabel")->buddy(), o.window.controlWidget("Folder"));
  EXPECT_EQ(widgetOf<QPushButton>(o.window, "Next")->text(), "&Next");
  EXPECT_TRUE(widgetOf<QLabel>(o.window, "Title")->font().bold());
  EXPECT_FALSE(widgetOf<QLabel>(o.window, "FolderLabel")->font().bold());
  EXPECT_EQ(widgetOf<QLineEdit>(o.window, "Folder")->text().toStdString(), o.session->property("INSTALLDIR"));
  EXPECT_TRUE(widgetOf<QCheckBox>(o.window, "Shortcut")->isChecked());
  EXPECT_TRUE(widgetOf<QPushButton>(o.window, "Next")->isDefault());
  EXPECT_FALSE(widgetOf<QPushButton>(o.window, "Back")->isDefault());
}

TEST(DialogWindow, ClicksMoveThroughTheDialogsAndEditsComeBeforePresses) {
  Opened o(demoPackage(), "WelcomeDlg");
  click(o.window, "Next");
  ASSERT_EQ(o.window.dialogName(), "InstallDirDlg");
  // Typed but not yet confirmed: the press takes the text first.
  widgetOf<QLineEdit>(o.window, "Folder")->setText("C:\\Typed\\");
  click(o.window, "Back");
  ASSERT_EQ(o.window.dialogName(), "WelcomeDlg");
  EXPECT_EQ(o.session->property("INSTALLDIR"), "C:\\Typed\\");
  click(o.window, "Next");
  EXPECT_EQ(widgetOf<QLineEdit>(o.window, "Folder")->text(), "C:\\Typed\\");
  // A refused value leaves the dialog and says why.
  widgetOf<QLineEdit>(o.window, "Folder")->setText("Demo");
  click(o.window, "Next");
  EXPECT_EQ(o.window.dialogName(), "InstallDirDlg");
  EXPECT_NE(o.window.lastRefusal().find("control `Folder` takes an absolute path"), std::string::npos)
      << o.window.lastRefusal();
  EXPECT_EQ(o.session->property("INSTALLDIR"), "C:\\Typed\\");
  // The check box's click is the property's change.
  widgetOf<QLineEdit>(o.window, "Folder")->setText("C:\\Typed\\");
  widgetOf<QCheckBox>(o.window, "Shortcut")->click();
  EXPECT_EQ(o.session->property("DESKTOPSHORTCUT"), "");
  EXPECT_TRUE(o.window.lastRefusal().empty()) << o.window.lastRefusal();
  // Closing the window is the dialog's Cancel.
  o.window.reject();
  EXPECT_TRUE(o.wizard.finished());
  EXPECT_EQ(o.wizard.result(), ActionStatus::UserExit);
  EXPECT_EQ(o.window.dialogName(), "");
}

// A spawned dialog opens in a window of its own, modal and centred over the wizard's window,
// which stays in sight; closing it brings the wizard's window back to the input.
TEST(DialogWindow, ChildDialogsOpenInWindowsOfTheirOwn) {
  FENNICK_REQUIRE_FIXTURES();
  Opened o(openFixture("ui-wix3-putty-installdir-featuretree/putty-0.68-installer.msi"), "WelcomeDlg");
  o.window.setAttribute(Qt::WA_DontShowOnScreen);
  o.window.show();
  click(o.window, "Cancel");
  ASSERT_EQ(o.window.dialogName(), "CancelDlg") << o.host.all();
  QWidget* child = o.window.activeWindow();
  ASSERT_NE(child, &o.window);
  EXPECT_TRUE(child->isWindow());
  EXPECT_TRUE(child->isVisible());
  EXPECT_TRUE(o.window.isVisible());
  EXPECT_EQ(child->parentWidget(), &o.window);
  EXPECT_EQ(child->windowModality(), Qt::WindowModal);
  EXPECT_LE((child->geometry().center() - o.window.geometry().center()).manhattanLength(), 8);  // frames aside
  EXPECT_EQ(child->size(), QSize(msi::qt::unitsToPixelsX(o.wizard.active().width),
                                 msi::qt::unitsToPixelsY(o.wizard.active().height)));
  // The wizard's dialog is still drawn in its window, under the child.
  EXPECT_NE(o.window.findChild<QWidget*>("WelcomeDlg"), nullptr);
  click(o.window, "No");
  EXPECT_EQ(o.window.dialogName(), "WelcomeDlg");
  EXPECT_EQ(o.window.activeWindow(), &o.window);
  EXPECT_TRUE(o.window.isVisible());
  EXPECT_FALSE(o.wizard.finished());
}

// A dialog authored without a title keeps an empty title bar: an empty title would make the
// window system show the application's name instead.
TEST(DialogWindow, AnEmptyTitleStaysEmpty) {
  Opened o(rowsPackage(packageRows("qt/packages.txt")), "Bare");
  ASSERT_EQ(o.window.dialogName(), "Bare") << o.host.all();
  EXPECT_TRUE(o.window.windowTitle().trimmed().isEmpty());
  EXPECT_FALSE(o.window.windowTitle().isEmpty());
}

// A product key typed into its template: the literals are in place from the start, an
// untouched field sets nothing, a full one sets the shown text, a partial one is refused.
TEST(DialogWindow, MaskedEditsTakeTheirTemplate) {
  Opened o(rowsPackage(packageRows("qt/packages.txt")), "D");
  auto* key = widgetOf<QLineEdit>(o.window, "Key");
  ASSERT_NE(key, nullptr);
  EXPECT_EQ(key->displayText(), "___-_______");
  click(o.window, "Ok");
  EXPECT_TRUE(o.window.lastRefusal().empty()) << o.window.lastRefusal();
  EXPECT_EQ(o.session->property("PIDKEY"), "");
  key->setText("123-4567890");
  EXPECT_TRUE(key->hasAcceptableInput());
  click(o.window, "Ok");
  EXPECT_EQ(o.session->property("PIDKEY"), "123-4567890");
  key->setText("12");
  click(o.window, "Ok");
  EXPECT_NE(o.window.lastRefusal().find("takes a value of the form `###-#######`"), std::string::npos)
      << o.window.lastRefusal();
  EXPECT_EQ(o.session->property("PIDKEY"), "123-4567890");
}

// A modeless dialog stays on screen while the sequence runs on, and the next dialog takes
// its place.
TEST(QtDialogRunner, AModelessDialogStaysUntilTheNextOneReplacesIt) {
  FENNICK_REQUIRE_FIXTURES();
  qtApplication();
  msi::qt::QtDialogRunner runner;
  KeptMessages host;
  auto session = openSession(openFixture("ui-wix3-minimal-gaze/GazeToolbarInstall.msi"), host, &runner);
  for (const char* action : {"CostInitialize", "FileCost", "CostFinalize"}) session->doAction(action);
  EXPECT_EQ(runner.runDialog(*session, "PrepareDlg"), ActionStatus::Success);
  ASSERT_NE(runner.modelessWindow(), nullptr);
  EXPECT_TRUE(runner.modelessWindow()->isVisible());
  EXPECT_EQ(runner.modelessWindow()->objectName(), "PrepareDlg");
  // It shows the action the sequence runs meanwhile.
  session->doAction("MigrateFeatureStates");
  auto* actionText = runner.modelessWindow()->findChild<QLabel*>("ActionText");
  ASSERT_NE(actionText, nullptr);
  EXPECT_EQ(actionText->text(), "Migrating feature states from related applications");
  bool prepareGone = false;
  QTimer::singleShot(0, [&] {
    prepareGone = runner.modelessWindow() == nullptr;
    if (DialogWindow* window = shownWindow()) window->done(0);
  });
  EXPECT_EQ(runner.runDialog(*session, "WelcomeDlg"), ActionStatus::UserExit);
  EXPECT_TRUE(prepareGone);
}

TEST(QtDialogRunner, DrivesTheDemoToTheEndAndRecordsTheWalk) {
  qtApplication();
  Walk recorded = Walk::parse("", "recorded.walk");
  msi::qt::QtDialogRunner runner(&recorded);
  KeptMessages host;
  auto session = openSession(demoPackage(), host, &runner);

  Script script;
  script.steps = {
      {"WelcomeDlg",
       [](DialogWindow& w) {
         msi::qt::renderDialog(w.wizard(), picturePath("demo-WelcomeDlg"));
         click(w, "Next");
       }},
      {"InstallDirDlg",
       [](DialogWindow& w) {
         msi::qt::renderDialog(w.wizard(), picturePath("demo-InstallDirDlg"));
         widgetOf<QLineEdit>(w, "Folder")->setText("C:\\Demo\\");
         widgetOf<QCheckBox>(w, "Shortcut")->click();
         click(w, "Next");
       }},
      {"FeaturesDlg",
       [](DialogWindow& w) {
         auto* tree = dynamic_cast<msi::qt::SelectionTreeWidget*>(w.controlWidget("Tree"));
         ASSERT_NE(tree, nullptr);
         // The parent offers the "entire feature" choices, its children do not; their
         // components are local only, so nothing runs from the source.
         std::unique_ptr<QMenu> complete(tree->menuFor("Complete"));
         std::unique_ptr<QMenu> extras(tree->menuFor("Extras"));
         std::unique_ptr<QMenu> docs(tree->menuFor("Docs"));
         ASSERT_TRUE(complete && extras && docs);
         EXPECT_EQ(actionNames(*complete), (QStringList{"local", "all-local", "advertise", "absent"}));
         EXPECT_EQ(actionNames(*docs), (QStringList{"local", "advertise", "absent"}));
         chooseFrom(*extras, "local");
         docs.reset(tree->menuFor("Docs"));  // the tree was refreshed; menus are made afresh
         chooseFrom(*docs, "absent");
         msi::qt::renderDialog(w.wizard(), picturePath("demo-FeaturesDlg"));
         click(w, "Next");
       }},
      {"ReadyDlg",
       [](DialogWindow& w) {
         msi::qt::renderDialog(w.wizard(), picturePath("demo-ReadyDlg"));
         click(w, "Install");
       }},
  };
  QTimer timer;
  script.start(timer);
  const msi::SequenceResult result = msi::runSequence(*session, "InstallUISequence");
  timer.stop();

  EXPECT_EQ(result.status, ActionStatus::Success) << host.all();
  EXPECT_EQ(script.next, script.steps.size());
  EXPECT_EQ(script.seen, (std::vector<std::string>{"WelcomeDlg", "InstallDirDlg", "FeaturesDlg", "ReadyDlg"}));
  EXPECT_TRUE(hasFacts(*session, host, {"INSTALLDIR=C:\\Demo\\", "DESKTOPSHORTCUT=", "&Extras=3", "&Docs=2"}));

  // The same walk as the example's, which ends with the save answer the tool records.
  Walk expected = Walk::parse("", "expected.walk");
  const Walk example = Walk::load(sourcePath("examples/demo.walk"));
  for (const auto& step : example.steps())
    if (step.kind != msi::dialogs::WalkStep::Kind::Save) expected.append(step);
  EXPECT_EQ(recorded.text(), expected.text());
  for (const char* name : {"WelcomeDlg", "InstallDirDlg", "FeaturesDlg", "ReadyDlg"})
    EXPECT_GT(fs::file_size(picturePath(std::string("demo-") + name)), 1000u) << name;
}

}  // namespace
}  // namespace fennick::test
