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

// Told what the installer publishes while actions run, for the controls of a package's dialogs
// that subscribe to it (EventMapping): ActionText as each standard or custom action starts,
// ActionData for each record an action reports, SetProgress for progress reports.
class ActionListener {
 public:
  virtual ~ActionListener() = default;
  // An action starts; `description` is its ActionText description, formatted ("" when it has
  // none).
  virtual void actionStarted(std::string_view action, std::string_view description) {
    (void)action;
    (void)description;
  }
  // A record of the running action, formatted by the action's ActionText template.
  virtual void actionData(std::string_view text) { (void)text; }
  // A progress report: `type` 0 resets (first: total ticks, second: 1 when it counts down),
  // 1 gives the ticks each action record moves (first) when second is not 0, 2 moves by
  // `first` ticks, 3 adds `first` ticks to the total.
  virtual void progress(int type, long long first, long long second) {
    (void)type;
    (void)first;
    (void)second;
  }
  // The session goes; it tells nothing more and must not be asked to remove the listener.
  virtual void sessionClosed() {}
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
