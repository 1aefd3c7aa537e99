// The headless host of a package's dialogs: a DialogRunner that answers them from a walk.
//
// Each dialog action runs a Wizard and takes the walk's steps until the wizard ends:
// `dialog X` checks that X is the active dialog; `set`, `choose`, `feature` and `press`
// apply the operation to the active dialog (`set NAME on|off` checks or clears a check box).
// A modeless dialog (a progress dialog) takes no steps. The `save` step is not taken here: the
// tool answers its save prompt with it.
//
// Where the walk and the package part (another dialog, a missing, hidden or disabled control,
// a value a list does not hold, a walk that ends while a dialog waits), the player stops that
// dialog action with Failure and keeps a WalkError naming the walk file, the line and the
// cause. The session only sees the action fail (it turns exceptions into a failed action), so
// whoever runs the session asks mismatch() afterwards and reports that instead. Every dialog
// action after a mismatch fails at once.
#pragma once

#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "engine/dialogs/walk.h"
#include "engine/dialogs/wizard.h"
#include "engine/session/session_host.h"

namespace msi::dialogs {

class WalkPlayer final : public DialogRunner {
 public:
  // The walk is shared with whoever answers the save prompt; the player takes steps from it.
  explicit WalkPlayer(std::shared_ptr<Walk> walk);

  ActionStatus runDialog(Session& session, std::string_view dialog) override;

  // The first place the walk did not fit the package; nullopt while it fits.
  const std::optional<WalkError>& mismatch() const { return mismatch_; }
  // Throws the mismatch, if there is one.
  void rethrowMismatch() const;

  // Observers attached to every wizard the player runs (a recorder, a picture taker).
  void addObserver(WizardObserver& observer);

 private:
  void play(Wizard& wizard);
  void apply(Wizard& wizard, const WalkStep& step);

  std::shared_ptr<Walk> walk_;
  std::optional<WalkError> mismatch_;
  std::vector<WizardObserver*> observers_;
};

}  // namespace msi::dialogs
