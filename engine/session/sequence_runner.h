// Runs a sequence table (InstallUISequence, ...) through a session the way the service does:
// rows with a positive Sequence in ascending order, each row's condition evaluated first and
// the action skipped only when the condition is false (a condition the evaluator rejects does
// not stop the action, as in Wine). The sequence ends at the first action that does not
// succeed; Finished ends it successfully. The terminal rows (negative Sequence: the exit
// dialogs) are left to the caller, which knows how the run ended.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "engine/session/session.h"

namespace msi {

struct SequenceOptions {
  bool runDialogs = true;           // false: rows naming dialogs are passed over
  bool stopAtExecuteAction = true;  // ExecuteAction (and what follows) is not run
};

struct SequenceStep {
  enum class Kind { Ran, ConditionFalse, DialogSkipped, ExecuteAction };
  std::string action;
  int sequence = 0;
  Kind kind = Kind::Ran;
  ActionStatus status = ActionStatus::NoAction;  // for Ran
};

struct SequenceResult {
  bool tableFound = false;
  std::vector<SequenceStep> steps;
  ActionStatus status = ActionStatus::Success;  // the action that ended it, or Success
};

// Throws Error when the sequence table, or a table it needs to tell actions apart, cannot be
// read; the actions' own failures are statuses.
SequenceResult runSequence(Session& session, std::string_view table,
                           const SequenceOptions& options = {});

}  // namespace msi
