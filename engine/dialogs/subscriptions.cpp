#include "engine/dialogs/subscriptions.h"

#include <algorithm>
#include <cctype>

#include "engine/session/table_rows.h"

namespace msi::dialogs {
namespace {

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

bool truthy(std::string_view value) { return !value.empty() && value != "0"; }

}  // namespace

Subscriptions Subscriptions::load(Database& db, std::string_view dialog) {
  Subscriptions out;
  TableRows t(db, "EventMapping", {"Dialog_", "Control_", "Event", "Attribute"});
  for (std::size_t r : t.rowsWhere(0, dialog)) out.rows_.push_back(Row{t.text(r, 1), t.text(r, 2), t.text(r, 3)});
  return out;
}

bool Subscriptions::subscribed(std::string_view event) const {
  return std::any_of(rows_.begin(), rows_.end(), [&](const Row& r) { return equalsIgnoringCase(r.event, event); });
}

void Subscriptions::publish(const Session& session, Dialog& dialog, std::string_view event,
                            std::string_view value) const {
  for (const Row& row : rows_) {
    if (!equalsIgnoringCase(row.event, event)) continue;
    Control* control = dialog.find(row.control);
    if (!control) continue;
    if (equalsIgnoringCase(event, "SelectionIcon")) {
      control->selectionIcon = value;  // a picture of the tree's own, whatever the attribute
    } else if (row.attribute == "Text") {
      StyledText styled = splitTextStyle(session.formatText(value));
      control->text = std::move(styled.text);
      if (!styled.style.empty()) control->textStyle = std::move(styled.style);
    } else if (row.attribute == "Visible") {
      control->visible = truthy(value);
    } else if (row.attribute == "Enabled") {
      control->enabled = truthy(value);
    }
  }
}

std::optional<long long> Subscriptions::publishProgress(Dialog& dialog, std::string_view event, int type,
                                                        long long first, long long second) const {
  std::optional<long long> increment;
  const long long units = std::max(first, 0LL) / 512;
  for (const Row& row : rows_) {
    if (!equalsIgnoringCase(row.event, event) || row.attribute != "Progress") continue;
    Control* control = dialog.find(row.control);
    if (!control) continue;
    switch (type) {
      case 0:  // reset
        control->progressTotal = units ? units : 100;
        control->progressBackwards = second != 0;
        control->progressDone = control->progressBackwards ? control->progressTotal : 0;
        break;
      case 1:  // the ticks of each action record
        increment = second ? first : 0;
        break;
      case 2:  // move
        control->progressDone = control->progressBackwards
                                    ? std::max(control->progressDone - units, 0LL)
                                    : std::min(control->progressDone + units, control->progressTotal);
        break;
      case 3:  // more to do
        control->progressTotal += units;
        break;
      default: continue;
    }
    control->progress = control->progressTotal > 0
                            ? static_cast<int>(std::clamp(control->progressDone * 100 / control->progressTotal, 0LL, 100LL))
                            : 0;
  }
  return increment;
}

}  // namespace msi::dialogs
