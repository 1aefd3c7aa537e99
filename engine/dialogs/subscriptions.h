// The EventMapping table of one dialog: controls subscribed to events that the installer or
// another control of the dialog publishes, and the attribute each publication sets.
// Attributes handled: Text (the value, formatted, style prefix parsed off), Visible and
// Enabled (a value that is not empty nor "0" means true), and Progress, which follows the
// progress reports published as SetProgress (publishProgress). SelectionIcon gives its
// subscriber the highlighted feature's state icon, whatever the attribute. Others are
// accepted and ignored. Event names compare without regard to case.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/db/database.h"
#include "engine/dialogs/dialog_model.h"
#include "engine/session/session.h"

namespace msi::dialogs {

class Subscriptions {
 public:
  static Subscriptions load(Database& db, std::string_view dialog);

  bool subscribed(std::string_view event) const;
  // Applies `value` to the controls of `dialog` subscribed to `event`.
  void publish(const Session& session, Dialog& dialog, std::string_view event, std::string_view value) const;
  // A progress report (see ActionListener::progress) for the controls subscribed to `event`
  // with the Progress attribute. Ticks count in units of 512, as the installer's progress bars
  // do: a reset to 0 units means 100. Returns the ticks each action record moves when the
  // report sets them (type 1), else nullopt.
  std::optional<long long> publishProgress(Dialog& dialog, std::string_view event, int type, long long first,
                                           long long second) const;

 private:
  struct Row {
    std::string control, event, attribute;
  };
  std::vector<Row> rows_;
};

}  // namespace msi::dialogs
