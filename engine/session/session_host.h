// The seams between a session and whoever runs it: a host that shows messages to the user,
// and a runner for the package's own dialogs.
#pragma once

#include <iosfwd>
#include <string_view>

#include "engine/session/action_status.h"

namespace msi {

class Session;

enum class MessageKind {
  Error,    // an action failed: LaunchConditions text, error custom actions, broken tables
  Warning,  // the session carried on without something (a custom action that cannot run here)
  Info,     // for a log
};

// Receives what the installer would show or log. Hosts with a user interface show errors in a
// message box; the default one writes every message as one line on standard error.
class SessionHost {
 public:
  virtual ~SessionHost() = default;
  virtual void message(MessageKind kind, std::string_view text) = 0;
  // A custom action whose native code cannot run here was skipped (after its warning);
  // `what` says what kind of code it is. Hosts that summarise a run list these.
  virtual void actionSkipped(std::string_view action, std::string_view what) {
    (void)action;
    (void)what;
  }
};

// Writes "error: TEXT", "warning: TEXT" or "info: TEXT" lines to a stream (standard error by
// default).
class StreamSessionHost : public SessionHost {
 public:
  StreamSessionHost();  // standard error
  explicit StreamSessionHost(std::ostream& out) : out_(&out) {}
  void message(MessageKind kind, std::string_view text) override;

 private:
  std::ostream* out_;
};

// Runs a dialog of the package's Dialog table as an action: the wizard starting with that
// dialog, until it ends. Returns Success when it ends normally, UserExit when the user
// cancels, Failure when it cannot run.
class DialogRunner {
 public:
  virtual ~DialogRunner() = default;
  virtual ActionStatus runDialog(Session& session, std::string_view dialog) = 0;
};

}  // namespace msi
