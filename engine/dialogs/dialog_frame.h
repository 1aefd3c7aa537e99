// A dialog on screen: the model a renderer reads, and what the engine keeps to run it.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/dialogs/control_conditions.h"
#include "engine/dialogs/dialog_model.h"
#include "engine/dialogs/subscriptions.h"
#include "engine/session/session.h"

namespace msi::dialogs {

struct DialogFrame {
  Dialog dialog;
  ControlConditions conditions;
  Subscriptions subscriptions;
  // The properties when the dialog appeared, for the Reset event.
  std::vector<std::pair<std::string, std::string>> snapshot;
};

// Loads a dialog of the Dialog table with its controls, texts formatted. nullopt when the
// table has no such dialog. Throws Error when the tables cannot be read.
std::optional<Dialog> loadDialog(Session& session, std::string_view name);

}  // namespace msi::dialogs
