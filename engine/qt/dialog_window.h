// The window of a running wizard: a modal QDialog that shows the wizard's active dialog and
// turns input on its widgets into the wizard's operations. After each operation it draws
// again: a new view when the active dialog changed, else the live state of the same one.
// Closing the window (Esc, the close box) is the wizard's cancel. When the wizard ends the
// window closes (done()), which ends a running exec().
#pragma once

#include <string>

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

  // The dialog shown ("" once the wizard ended).
  const std::string& dialogName() const { return shown_; }
  const dialogs::Wizard& wizard() const { return wizard_; }
  DialogView* view() const { return view_; }
  // The control's widget in the current view; nullptr when there is none.
  QWidget* controlWidget(const std::string& control) const;
  // Why the last input was refused ("" when it was taken).
  const std::string& lastRefusal() const { return lastRefusal_; }

  // Applies an input as the widgets do: pending edits first (a press after typing takes the
  // typed text), then the operation; then draws again.
  void apply(const UserInput& input);

  void reject() override;  // Esc and the close box

 private:
  void dialogChanged(const dialogs::Wizard& wizard) override { stale_ = true; }
  void perform(const UserInput& input);
  void render();
  void rebuild();

  dialogs::Wizard& wizard_;
  DialogView* view_ = nullptr;
  std::string shown_;
  std::size_t depth_ = 0;
  bool stale_ = false;
  std::string lastRefusal_;
};

}  // namespace msi::qt
