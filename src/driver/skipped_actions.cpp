#include "src/driver/skipped_actions.h"

#include <algorithm>

#include "src/ui/terminal_text.h"

namespace fennick::driver {

void SkippedActions::actionSkipped(std::string_view action, std::string_view what) {
  inner_.actionSkipped(action, what);
  const bool known = std::any_of(skipped_.begin(), skipped_.end(),
                                 [&](const auto& entry) { return entry.first == action; });
  if (!known) skipped_.emplace_back(std::string(action), std::string(what));
}

void SkippedActions::print(std::ostream& out) const {
  if (skipped_.empty()) return;
  out << "fennick: " << skipped_.size()
      << (skipped_.size() == 1 ? " custom action was" : " custom actions were")
      << " skipped (their native code cannot run here):\n";
  for (const auto& [action, what] : skipped_)
    out << "fennick:   " << ui::TerminalText(action, ui::LineBreaks::Escape) << " ("
        << ui::TerminalText(what, ui::LineBreaks::Escape) << ")\n";
  out.flush();
}

}  // namespace fennick::driver
