#include "engine/dialogs/subscriptions.h"

#include <algorithm>
#include <cctype>
#include <charconv>

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
    if (row.attribute == "Text") {
      StyledText styled = splitTextStyle(session.formatText(value));
      control->text = std::move(styled.text);
      if (!styled.style.empty()) control->textStyle = std::move(styled.style);
    } else if (row.attribute == "Visible") {
      control->visible = truthy(value);
    } else if (row.attribute == "Enabled") {
      control->enabled = truthy(value);
    } else if (row.attribute == "Progress") {
      int percent = 0;
      std::from_chars(value.data(), value.data() + value.size(), percent);
      control->progress = std::clamp(percent, 0, 100);
    }
  }
}

}  // namespace msi::dialogs
