// The inside of a Wizard, shared by the files that implement it: the dialog stack
// (wizard.cpp), the control events it carries out (wizard_events.cpp), the guards that refuse
// input (wizard_guards.cpp) and the user's operations (wizard_operations.cpp). Not part of the
// module's public interface.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/dialogs/control_events.h"
#include "engine/dialogs/dialog_frame.h"
#include "engine/dialogs/wizard.h"

namespace msi::dialogs {

struct Wizard::Impl final : EventTarget, ActionListener {
  Impl(Wizard& w, Session& s) : self(w), session(s) {}

  Wizard& self;
  Session& session;
  std::vector<std::unique_ptr<DialogFrame>> stack;
  bool finished = false;
  ActionStatus result = ActionStatus::NoAction;
  std::vector<WizardObserver*> observers;
  std::map<std::string, TextStyle, std::less<>> styles;
  std::size_t generation = 0;  // counts dialog changes, so that observers hear of them
  std::string eventSource;     // "dialog `X` control `Y`" while its events run
  long long recordTicks = 0;   // progress each ActionData record makes (a type 1 report)
  bool listening = true;       // the session still exists and tells this wizard what it publishes

  // --- reporting ---
  void report(MessageKind kind, const std::string& text) { session.host().message(kind, text); }
  void warn(const std::string& text) override { report(MessageKind::Warning, eventSource + ": " + text); }
  void fail(const std::string& text) {
    report(MessageKind::Error, text);
    finish(ActionStatus::Failure);
  }
  void finish(ActionStatus status) {
    if (finished) return;
    finished = true;
    result = status;
  }

  DialogFrame& top() { return *stack.back(); }
  std::string where() const { return stack.empty() ? "wizard" : "dialog `" + stack.back()->dialog.name + "`"; }

  // --- dialogs appearing and going (wizard.cpp) ---
  void loadStyles();
  // Loads a dialog to show; nullptr (and a Failure reported as `missing`) when the package
  // lacks it.
  std::unique_ptr<DialogFrame> makeFrame(std::string_view name, const std::string& missing);
  // What happens as a dialog appears: its control conditions, the first feature of a
  // selection tree highlighted, and the properties remembered for Reset.
  void appear(DialogFrame& frame);
  void start(std::string_view name);
  void endTop();
  void changeDialogs(const DialogChange& change);

  // --- live state (wizard.cpp) ---
  void refreshAll();
  void publishEverywhere(std::string_view event, std::string_view value);
  void highlight(DialogFrame& frame, Control& tree, const std::string& feature);

  // --- what the installer publishes while actions run (ActionListener; wizard.cpp) ---
  void actionStarted(std::string_view action, std::string_view description) override;
  void actionData(std::string_view text) override;
  void progress(int type, long long first, long long second) override;
  void sessionClosed() override { listening = false; }
  void publishProgress(int type, long long first, long long second);
  void tellPublished();

  // --- events (EventTarget; wizard_events.cpp) ---
  void setPropertyEvent(std::string_view property, std::optional<std::string> value) override;
  bool runEvent(std::string_view event, std::string_view argument) override;
  void featureEvent(std::string_view argument, InstallState state);
  void setInstallLevel(std::string_view argument);
  bool setTargetPath(std::string_view directory);
  void reset(const DialogFrame& frame);
  void directoryListEvent(std::string_view event);
  // Runs the control events of `control` on the top dialog, then changes dialogs.
  void activate(const std::string& control);

  // --- input guards (wizard_guards.cpp): each throws OperationError, before any change ---
  Control& inputControl(std::string_view name, std::string_view verb);
  [[noreturn]] void wrongType(const Control& c, std::string_view verb);
  // A value typed into `c` (setValue): the control takes typed text, within its limits, and
  // has a property to set.
  void checkTypedValue(const Control& c, std::string_view text);
  // An item chosen in `c` (choose): a list item, a subfolder, or a feature the tree lists.
  void checkChoice(const Control& c, std::string_view value);

  // --- operations (wizard_operations.cpp) ---
  // Carries out an accepted operation and tells the observers. An engine error on the way
  // (an unreadable table) ends the wizard with Failure.
  template <typename F>
  void perform(const WalkStep& step, F&& body);
};

}  // namespace msi::dialogs
