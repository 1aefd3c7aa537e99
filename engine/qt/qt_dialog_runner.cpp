#include "engine/qt/qt_dialog_runner.h"

#include <QCoreApplication>

#include "engine/dialogs/wizard.h"
#include "engine/qt/child_window.h"
#include "engine/qt/dialog_view.h"
#include "engine/qt/dialog_window.h"

namespace msi::qt {

QtDialogRunner::QtDialogRunner(dialogs::Walk* record) {
  if (record) recorder_.emplace(*record);
}

QtDialogRunner::~QtDialogRunner() = default;

ActionStatus QtDialogRunner::runDialog(Session& session, std::string_view dialog) {
  // The next dialog replaces a modeless one.
  modeless_.reset();
  if (modelessWizard_) modelessWizard_->removeObserver(*this);
  modelessWizard_.reset();
  auto wizard = std::make_unique<dialogs::Wizard>(session, dialog);
  if (recorder_) recorder_->follow(*wizard);
  if (wizard->finished()) {  // modeless, or it could not start
    const ActionStatus result = wizard->result();
    if (result == ActionStatus::Success && !wizard->dialogs().empty()) {
      const dialogs::Dialog& shown = *wizard->dialogs().back();
      auto window = std::make_unique<DialogView>(*wizard, shown, nullptr);
      setDialogTitle(*window, shown.title);
      window->setFixedSize(window->size());
      window->show();
      QCoreApplication::processEvents();  // painted before the sequence runs on
      modeless_ = std::move(window);
      wizard->addObserver(*this);
      modelessWizard_ = std::move(wizard);
    }
    return result;
  }
  {
    DialogWindow window(*wizard);
    window.exec();
  }
  // A window closed by other means than the wizard (the window system) leaves it running: the
  // user left the dialogs.
  if (!wizard->finished() && !wizard->cancel()) return ActionStatus::UserExit;
  return wizard->finished() ? wizard->result() : ActionStatus::UserExit;
}

void QtDialogRunner::published(const dialogs::Wizard& wizard) {
  auto* view = static_cast<DialogView*>(modeless_.get());
  if (!view || wizard.dialogs().empty()) return;
  view->update(*wizard.dialogs().back());
  view->repaint();  // the sequence runs on without returning to the event loop
}

}  // namespace msi::qt
