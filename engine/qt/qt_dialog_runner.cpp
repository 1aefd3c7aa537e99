#include "engine/qt/qt_dialog_runner.h"

#include "engine/dialogs/wizard.h"
#include "engine/qt/dialog_window.h"

namespace msi::qt {

QtDialogRunner::QtDialogRunner(dialogs::Walk* record) {
  if (record) recorder_.emplace(*record);
}

ActionStatus QtDialogRunner::runDialog(Session& session, std::string_view dialog) {
  dialogs::Wizard wizard(session, dialog);
  if (recorder_) recorder_->follow(wizard);
  if (wizard.finished()) return wizard.result();  // modeless, or it could not start
  {
    DialogWindow window(wizard);
    window.exec();
  }
  // A window closed by other means than the wizard (the window system) leaves it running: the
  // user left the dialogs.
  if (!wizard.finished() && !wizard.cancel()) return ActionStatus::UserExit;
  return wizard.finished() ? wizard.result() : ActionStatus::UserExit;
}

}  // namespace msi::qt
