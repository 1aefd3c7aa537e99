// The interactive host of a package's dialogs: each dialog action runs a Wizard shown in a
// modal DialogWindow, in a nested event loop until the wizard ends. A modeless dialog (a
// "please wait" or progress dialog) stays on screen in a window of its own while the sequence
// runs on, until the next dialog replaces it, showing the texts and progress the installer
// publishes meanwhile (ActionText, ActionData, SetProgress). A QApplication must exist.
#pragma once

#include <memory>
#include <optional>
#include <string_view>

#include <QWidget>

#include "engine/dialogs/walk.h"
#include "engine/dialogs/walk_recorder.h"
#include "engine/dialogs/wizard.h"
#include "engine/session/session_host.h"

namespace msi::qt {

class DialogView;

class QtDialogRunner final : public DialogRunner, private dialogs::WizardObserver {
 public:
  // With `record`, every operation the user makes is appended to that walk (which must
  // outlive the runner), as `fennick --record` writes it.
  explicit QtDialogRunner(dialogs::Walk* record = nullptr);

  ~QtDialogRunner() override;
  ActionStatus runDialog(Session& session, std::string_view dialog) override;

  // The modeless dialog on screen, nullptr when there is none.
  QWidget* modelessWindow() const { return modeless_.get(); }

  // The recorder, to append the save answer after the run; nullptr without a walk.
  dialogs::WalkRecorder* recorder() { return recorder_ ? &*recorder_ : nullptr; }

 private:
  std::optional<dialogs::WalkRecorder> recorder_;
  std::unique_ptr<dialogs::Wizard> modelessWizard_;  // declared first: the window goes first
  std::unique_ptr<QWidget> modeless_;

  // The modeless dialog shows what the installer publishes as the sequence runs on.
  void published(const dialogs::Wizard& wizard) override;
};

}  // namespace msi::qt
