// What the session tells its action listeners: the ActionText description of each action
// that starts, and the records an action reports, formatted by its ActionText template. A
// package without an ActionText row for a standard action gets the service's own English
// text for it, as the installer shows.
#include <algorithm>
#include <array>

#include "engine/session/formatted.h"
#include "engine/session/session_state.h"
#include "engine/session/table_rows.h"

namespace msi {
namespace {

struct BuiltInText {
  std::string_view action, description, actionTemplate;
};

// The standard actions of a user-interface sequence that have a text of their own.
constexpr std::array kBuiltInTexts{
    BuiltInText{"AppSearch", "Searching for installed applications", "Property: [1], Signature: [2]"},
    BuiltInText{"CCPSearch", "Searching for qualifying products", ""},
    BuiltInText{"CostFinalize", "Computing space requirements", ""},
    BuiltInText{"CostInitialize", "Computing space requirements", ""},
    BuiltInText{"FileCost", "Computing space requirements", ""},
    BuiltInText{"FindRelatedProducts", "Searching for related applications", "Found application: [1]"},
    BuiltInText{"LaunchConditions", "Evaluating launch conditions", ""},
    BuiltInText{"MigrateFeatureStates", "Migrating feature states from related applications", "Application: [1]"},
    BuiltInText{"RMCCPSearch", "Searching for qualifying products", ""},
};

// Tells each listener in turn. A listener may add or remove listeners while it is told (a
// dialog appearing or going): one removed meanwhile is not told.
template <typename F>
void tellListeners(const std::vector<ActionListener*>& listeners, F&& tell) {
  const std::vector<ActionListener*> told = listeners;
  for (ActionListener* l : told)
    if (std::find(listeners.begin(), listeners.end(), l) != listeners.end()) tell(*l);
}

}  // namespace

using State = Session::State;

void State::actionStarted(std::string_view action) {
  actionTemplate.clear();
  if (listeners.empty()) return;
  std::string description;
  const TableRows rows(*db, "ActionText", {"Action", "Description", "Template"});
  if (const auto found = rows.rowsWhere(0, action); !found.empty()) {
    description = rows.text(found.front(), 1);
    actionTemplate = rows.text(found.front(), 2);
  } else if (isStandardAction(action)) {
    const auto it = std::find_if(kBuiltInTexts.begin(), kBuiltInTexts.end(),
                                 [&](const BuiltInText& t) { return t.action == action; });
    if (it != kBuiltInTexts.end()) {
      description = it->description;
      actionTemplate = it->actionTemplate;
    }
  }
  const std::string text = format(description);
  tellListeners(listeners, [&](ActionListener& l) { l.actionStarted(action, text); });
}

void State::actionData(std::vector<std::string> fields) {
  if (listeners.empty()) return;
  if (fields.empty()) fields.emplace_back();
  fields[0] = actionTemplate;
  const std::string text = formatRecord(fields, *self);
  tellListeners(listeners, [&](ActionListener& l) { l.actionData(text); });
}

void Session::addActionListener(ActionListener& listener) {
  auto& list = state_->listeners;
  if (std::find(list.begin(), list.end(), &listener) == list.end()) list.push_back(&listener);
}

void Session::removeActionListener(ActionListener& listener) { std::erase(state_->listeners, &listener); }

void Session::reportActionData(std::vector<std::string> fields) { state_->actionData(std::move(fields)); }

void Session::reportProgress(int type, long long first, long long second) {
  tellListeners(state_->listeners, [&](ActionListener& l) { l.progress(type, first, second); });
}

}  // namespace msi
