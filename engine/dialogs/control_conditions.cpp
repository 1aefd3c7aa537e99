#include "engine/dialogs/control_conditions.h"

#include "engine/session/table_rows.h"

namespace msi::dialogs {

ControlConditions ControlConditions::load(Database& db, std::string_view dialog) {
  ControlConditions out;
  TableRows t(db, "ControlCondition", {"Dialog_", "Control_", "Action", "Condition"});
  for (std::size_t r : t.rowsWhere(0, dialog)) out.rows_.push_back(Row{t.text(r, 1), t.text(r, 2), t.text(r, 3)});
  return out;
}

void ControlConditions::apply(const Session& session, Dialog& dialog) const {
  std::vector<std::string> defaults;  // true `Default` rows, in table order
  for (const Row& row : rows_) {
    Control* control = dialog.find(row.control);
    if (!control) continue;
    // Only a true condition acts; a condition that does not parse acts as false.
    if (session.evaluateCondition(row.condition) != ConditionResult::True) continue;
    if (row.action == "Hide")
      control->visible = false;
    else if (row.action == "Show")
      control->visible = true;
    else if (row.action == "Disable")
      control->enabled = false;
    else if (row.action == "Enable")
      control->enabled = true;
    else if (row.action == "Default")
      defaults.push_back(control->name);
  }
  // Dialog sets pair a button with a hidden twin (with and without the elevation shield), both
  // named Default under the same condition: the last one a user can press wins, judged once
  // the Show and Hide rows after it have been applied too.
  for (auto it = defaults.rbegin(); it != defaults.rend(); ++it) {
    const Control* control = dialog.find(*it);
    if (control->type == ControlType::PushButton && control->visible && control->enabled) {
      dialog.defaultControl = *it;
      break;
    }
  }
}

}  // namespace msi::dialogs
