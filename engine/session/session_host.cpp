#include "engine/session/session_host.h"

#include <iostream>

namespace msi {

std::string_view actionStatusName(ActionStatus status) {
  switch (status) {
    case ActionStatus::NoAction: return "no action";
    case ActionStatus::Success: return "success";
    case ActionStatus::UserExit: return "user exit";
    case ActionStatus::Failure: return "failure";
    case ActionStatus::Suspend: return "suspend";
    case ActionStatus::Finished: return "finished";
    case ActionStatus::WrongState: return "wrong state";
    case ActionStatus::BadActionData: return "bad action data";
  }
  return "unknown status";
}

StreamSessionHost::StreamSessionHost() : out_(&std::cerr) {}

void StreamSessionHost::message(MessageKind kind, std::string_view text) {
  const char* prefix = kind == MessageKind::Error ? "error: " : kind == MessageKind::Warning ? "warning: " : "info: ";
  *out_ << prefix << text << '\n';
}

}  // namespace msi
