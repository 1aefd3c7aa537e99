// The interactive host of a package's dialogs: each dialog action runs a Wizard shown in a
// modal DialogWindow, in a nested event loop until the wizard ends. A QApplication must exist.
#pragma once

#include <optional>
#include <string_view>

#include "engine/dialogs/walk.h"
#include "engine/dialogs/walk_recorder.h"
#include "engine/session/session_host.h"

namespace msi::qt {

class QtDialogRunner final : public DialogRunner {
 public:
  // With `record`, every operation the user makes is appended to that walk (which must
  // outlive the runner), as `fennick --record` writes it.
  explicit QtDialogRunner(dialogs::Walk* record = nullptr);

  ActionStatus runDialog(Session& session, std::string_view dialog) override;

  // The recorder, to append the save answer after the run; nullptr without a walk.
  dialogs::WalkRecorder* recorder() { return recorder_ ? &*recorder_ : nullptr; }

 private:
  std::optional<dialogs::WalkRecorder> recorder_;
};

}  // namespace msi::qt
