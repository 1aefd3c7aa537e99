// The ControlEvent rows a control publishes when it is activated, and which of them run:
// - rows in ascending Ordering (a null Ordering first, ties in table order), each when its
//   Condition is true at that moment, so that a row sees what the rows before it did;
// - a row with a blank Condition runs only when no row of the control was true, and then only
//   the blank one with the largest Ordering;
// - `[PROP]` rows set a property (`{}` unsets it); the event and argument of the other rows
//   are formatted first;
// - NewDialog, SpawnDialog, SelectionBrowse and EndDialog do not act at once: the last of
//   them is returned and the caller changes dialogs after every other row ran;
// - the target may stop the rows (an invalid path), which also drops the dialog change.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/db/database.h"
#include "engine/session/session.h"

namespace msi::dialogs {

struct ControlEventRow {
  std::string event, argument, condition;
  int ordering = 0;
  bool orderingNull = true;
};

std::vector<ControlEventRow> loadControlEvents(Database& db, std::string_view dialog, std::string_view control);

// Carries out the rows that do not change dialogs.
class EventTarget {
 public:
  virtual ~EventTarget() = default;
  // `value`: nullopt unsets the property.
  virtual void setPropertyEvent(std::string_view property, std::optional<std::string> value) = 0;
  // Returns false to stop the remaining rows.
  virtual bool runEvent(std::string_view event, std::string_view argument) = 0;
  // Something the package authored that cannot be carried out here.
  virtual void warn(const std::string& text) = 0;
};

struct DialogChange {
  std::string event;     // NewDialog, SpawnDialog, SelectionBrowse or EndDialog
  std::string argument;  // formatted
};

// Runs `rows` (as loadControlEvents orders them); returns the dialog change to make, if any.
std::optional<DialogChange> publishControlEvents(Session& session, const std::vector<ControlEventRow>& rows,
                                                 EventTarget& target);

bool isDialogChangeEvent(std::string_view event);

}  // namespace msi::dialogs
