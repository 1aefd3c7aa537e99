// How a run answers the package's own dialogs, as the tool sees it: from a walk file played
// without windows, or by a person at the dialogs in windows (whose answers may be recorded as
// a walk). The driver picks one; the engine backend runs the dialogs through it, and the tool
// reaches walks only through this interface.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace fennick::installer {

// A walk that cannot be read or does not fit the package (another dialog, a missing control,
// the walk ending early): wrong usage of a headless run, not a failure of it. The message
// names the walk file, the line and the cause.
class WalkMismatch : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class DialogHost {
 public:
  virtual ~DialogHost() = default;

  // The answer the walk holds for the tool's save prompt, as the person gave it: the path, or
  // "" for `save cancel`. Throws WalkMismatch where the walk holds none there, or goes on after
  // it (the run ends at the save prompt). Dialogs in windows hold no answer and always throw.
  virtual std::string SaveAnswer() = 0;
  // Told what the person chose at the save prompt ("" when cancelled), for the recording.
  virtual void SaveAnswered(std::string_view path) = 0;
  // The answers recorded so far as the text of a walk file; nullopt when nothing is recorded.
  virtual std::optional<std::string> Recording() const = 0;
};

}  // namespace fennick::installer
