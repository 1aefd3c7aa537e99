// The window of a running wizard: a modal QDialog that shows the wizard's first dialog, each
// child dialog on top of it in a modal window of its own (ChildWindow), and turns input on
// their widgets into the wizard's operations. After each operation it draws again: new views
// for the dialogs that changed, else the live state of the same ones. Closing a window (Esc,
// the close box) is the wizard's cancel. When the wizard ends the window closes (done()),
// which ends a running exec().
#pragma once

#include <string>
#include <vector>

#include <QDialog>

#include "engine/dialogs/wizard.h"
#include "engine/qt/dialog_view.h"
#include "engine/qt/user_input.h"

namespace msi::qt {

class DialogWindow : public QDialog, private dialogs::WizardObserver {
 public:
  // The wizard must outlive the window.
  explicit DialogWindow(dialogs::Wizard& wizard, QWidget* parent = nullptr);
  ~DialogWindow() override;

  // The active dialog shown ("" once the wizard ended).
  const std::string& dialogName() const { return shown_; }
  const dialogs::Wizard& wizard() const { return wizard_; }
  // The view of the active dialog.
  DialogView* view() const { return view_; }
  // The window the active dialog is drawn in: this one, or a child dialog's window.
  QWidget* activeWindow() const;
  // The control's widget in the active dialog's view; nullptr when there is none.
  QWidget* controlWidget(const std::string& control) const;
  // Why the last input was refused ("" when it was taken).
  const std::string& lastRefusal() const { return lastRefusal_; }

  // Applies an input as the widgets do: pending edits first (a press after typing takes the
  // typed text), then the operation; then draws again.
  void apply(const UserInput& input);

  void reject() override;  // Esc and the close box

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  // A dialog of the wizard's stack as drawn: the first in this window, children in their own.
  struct Level {
    const dialogs::Dialog* dialog;
    std::string name;
    QDialog* window;  // this, or a ChildWindow
    DialogView* view;
  };

  void dialogChanged(const dialogs::Wizard& wizard) override { stale_ = true; }
  void published(const dialogs::Wizard& wizard) override;
  void perform(const UserInput& input);
  void render();
  void rebuild();

  void dropLevelsFrom(std::size_t keep);
  DialogView* makeView(const dialogs::Dialog& dialog, QWidget* window);

  dialogs::Wizard& wizard_;
  std::vector<Level> levels_;
  DialogView* view_ = nullptr;  // the last level's
  std::string shown_;
  bool stale_ = false;
  std::string lastRefusal_;
};

}  // namespace msi::qt
