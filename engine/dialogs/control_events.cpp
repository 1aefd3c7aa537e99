#include "engine/dialogs/control_events.h"

#include <algorithm>

#include "engine/session/table_rows.h"

namespace msi::dialogs {
namespace {

bool blank(std::string_view condition) {
  return condition.find_first_not_of(" \t\r\n") == std::string_view::npos;
}

// Runs one row whose condition allowed it. Returns false when the target stopped the rows.
bool runRow(Session& session, const ControlEventRow& row, EventTarget& target,
            std::optional<DialogChange>& change) {
  if (!row.event.empty() && row.event.front() == '[') {
    // `[NAME]`, possibly followed by blanks; anything else is not a property event.
    const std::size_t close = row.event.find(']');
    const bool wellFormed = close != std::string::npos && close > 1 &&
                            row.event.find_first_not_of(' ', close + 1) == std::string::npos;
    if (!wellFormed) {
      target.warn("event `" + row.event + "` is neither an event nor a `[PROPERTY]`; passed over");
      return true;
    }
    const std::string property = row.event.substr(1, close - 1);
    if (row.argument == "{}")
      target.setPropertyEvent(property, std::nullopt);
    else
      target.setPropertyEvent(property, session.formatText(row.argument));
    return true;
  }
  const std::string event = session.formatText(row.event);
  const std::string argument = session.formatText(row.argument);
  if (isDialogChangeEvent(event)) {
    change = DialogChange{event, argument};
    return true;
  }
  return target.runEvent(event, argument);
}

}  // namespace

bool isDialogChangeEvent(std::string_view event) {
  return event == "NewDialog" || event == "SpawnDialog" || event == "SelectionBrowse" || event == "EndDialog";
}

std::vector<ControlEventRow> loadControlEvents(Database& db, std::string_view dialog, std::string_view control) {
  TableRows t(db, "ControlEvent", {"Dialog_", "Control_", "Event", "Argument", "Condition", "Ordering"});
  std::vector<ControlEventRow> rows;
  for (std::size_t r : t.rowsWhere(0, dialog)) {
    if (t.text(r, 1) != control) continue;
    ControlEventRow row;
    row.event = t.text(r, 2);
    row.argument = t.text(r, 3);
    row.condition = t.text(r, 4);
    const auto ordering = t.integer(r, 5);
    row.orderingNull = !ordering;
    row.ordering = ordering.value_or(0);
    rows.push_back(std::move(row));
  }
  std::stable_sort(rows.begin(), rows.end(), [](const ControlEventRow& a, const ControlEventRow& b) {
    if (a.orderingNull != b.orderingNull) return a.orderingNull;
    return a.ordering < b.ordering;
  });
  return rows;
}

std::optional<DialogChange> publishControlEvents(Session& session, const std::vector<ControlEventRow>& rows,
                                                 EventTarget& target) {
  std::optional<DialogChange> change;
  bool anyTrue = false;
  const ControlEventRow* lastBlank = nullptr;
  for (const ControlEventRow& row : rows) {
    if (blank(row.condition)) {
      lastBlank = &row;
      continue;
    }
    const ConditionResult result = session.evaluateCondition(row.condition);
    if (result == ConditionResult::Error)
      target.warn("condition `" + row.condition + "` of event `" + row.event + "` cannot be evaluated; taken as false");
    if (result != ConditionResult::True) {
      if (row.event == "SpawnWaitDialog")
        target.warn("dialog `" + row.argument + "` would wait for `" + row.condition +
                    "`, which nothing here will change; not shown");
      continue;
    }
    anyTrue = true;
    // The wait dialog shows while its condition is false; true means there is nothing to wait for.
    if (row.event == "SpawnWaitDialog") continue;
    if (!runRow(session, row, target, change)) return std::nullopt;
  }
  if (!anyTrue && lastBlank && lastBlank->event != "SpawnWaitDialog") {
    if (!runRow(session, *lastBlank, target, change)) return std::nullopt;
  }
  return change;
}

}  // namespace msi::dialogs
