// The engine backend's side of the dialog host: the runner the engine's sessions call for a
// dialog action, and the two ways of answering the dialogs the driver can pick from.
#pragma once

#include <memory>
#include <string>

#include "engine/session/session_host.h"
#include "src/installer/dialog_host.h"

namespace fennick::installer {

class EngineDialogHost : public DialogHost {
 public:
  EngineDialogHost();
  ~EngineDialogHost() override;

  // The runner of the run's dialog actions (the full-UI session's; silent sessions have none).
  // With FENNICK_TIMING set, standard error is told when the first dialog reaches it, counted
  // from this host's creation: the benchmarks read it.
  msi::DialogRunner& Runner();
  // Called after every action of the run's session. A runner that keeps its own errors (a walk
  // that no longer fits the package) throws them here as WalkMismatch.
  virtual void AfterAction() {}

 protected:
  // The runner that shows or answers the dialogs.
  virtual msi::DialogRunner& Dialogs() = 0;

 private:
  class FirstDialogClock;
  std::unique_ptr<FirstDialogClock> clock_;
};

// Answers the dialogs from the walk file at `path`, headless: no window and no display.
// Throws WalkMismatch when the file cannot be read or is not a walk.
std::shared_ptr<EngineDialogHost> PlayWalk(const std::string& path);

// Shows the dialogs in windows (a QApplication must exist; in the tool's Qt library). With
// `record`, every answer is kept and Recording() gives it as a walk.
std::shared_ptr<EngineDialogHost> ShowDialogs(bool record);

}  // namespace fennick::installer
