// What an action returns: the installer's action status numbers (msiDoActionStatus), which
// are also the return values its log shows.
#pragma once

#include <string_view>

namespace msi {

enum class ActionStatus : int {
  NoAction = 0,       // not run (unknown action, nothing to do); a sequence goes on
  Success = 1,
  UserExit = 2,       // the user cancelled
  Failure = 3,        // fatal error
  Suspend = 4,
  Finished = 5,       // success; the rest of the sequence is skipped
  WrongState = 6,
  BadActionData = 7,
};

// "no action", "success", "user exit", "failure", ...
std::string_view actionStatusName(ActionStatus status);

}  // namespace msi
