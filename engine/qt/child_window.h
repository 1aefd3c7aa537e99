// The window of a child dialog (SpawnDialog: a cancel question, a folder browser, disk costs):
// a window of its own, modal over the window of the dialog that spawned it and centred on it,
// so that dialog stays in sight as it does on Windows. Its close box is the wizard's cancel,
// which presses the child's own Cancel control.
#pragma once

#include <functional>
#include <string>

#include <QDialog>

namespace msi::qt {

class ChildWindow : public QDialog {
 public:
  ChildWindow(QWidget* over, std::function<void()> cancel);

  // Centres the window on the one it is over and shows it.
  void showOver();

  void reject() override { cancel_(); }

 private:
  std::function<void()> cancel_;
};

// A dialog's title as the window's title. Window systems put the application's name on a
// window without a title; a dialog authored without one keeps a blank title bar instead.
void setDialogTitle(QWidget& window, const std::string& title);

}  // namespace msi::qt
