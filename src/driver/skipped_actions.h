// Remembers the custom actions a run skipped because their native code cannot run here, so
// that the end of the run can list them; every message goes on to the host it wraps.
#pragma once

#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "engine/session/session_host.h"

namespace fennick::driver {

class SkippedActions final : public msi::SessionHost {
 public:
  explicit SkippedActions(msi::SessionHost& inner) : inner_(inner) {}
  void message(msi::MessageKind kind, std::string_view text) override { inner_.message(kind, text); }
  void actionSkipped(std::string_view action, std::string_view what) override;

  // (action, kind of code), each action once, in the order first skipped.
  const std::vector<std::pair<std::string, std::string>>& list() const { return skipped_; }
  // One line for the list, then one per action; nothing when none was skipped.
  void print(std::ostream& out) const;

 private:
  msi::SessionHost& inner_;
  std::vector<std::pair<std::string, std::string>> skipped_;
};

}  // namespace fennick::driver
