// Writes what a user does in the dialogs as a walk: each operation a wizard accepts becomes a
// step, preceded by a `dialog` step whenever it happens on another dialog than the step before
// it (and at the first operation of each wizard), so that the walk replays with the same
// checks. Attach it to wizards with follow() (or Wizard::addObserver, or a player's
// addObserver when a replay should write a walk too).
#pragma once

#include <string>

#include "engine/dialogs/walk.h"
#include "engine/dialogs/wizard.h"

namespace msi::dialogs {

class WalkRecorder final : public WizardObserver {
 public:
  // Appends to `walk`, which must outlive the recorder.
  explicit WalkRecorder(Walk& walk) : walk_(walk) {}

  // Records `wizard` from now on.
  void follow(Wizard& wizard);
  // Appends the answer to the save prompt (`save "PATH"`, or `save cancel` for an empty path).
  void recordSave(std::string_view path);

  void operation(const Wizard& wizard, std::string_view dialog, const WalkStep& step) override;
  void finished(const Wizard& wizard) override;

 private:
  Walk& walk_;
  std::string lastDialog_;
};

}  // namespace msi::dialogs
