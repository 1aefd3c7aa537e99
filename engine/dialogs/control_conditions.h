// The ControlCondition table: Hide, Show, Disable, Enable and Default rows of one dialog,
// applied in table order, each when its condition is true. They are applied when the dialog
// appears and after every operation; a row that is not true changes nothing, so the state a
// control reaches stays until another row changes it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "engine/db/database.h"
#include "engine/dialogs/dialog_model.h"
#include "engine/session/session.h"

namespace msi::dialogs {

class ControlConditions {
 public:
  static ControlConditions load(Database& db, std::string_view dialog);

  void apply(const Session& session, Dialog& dialog) const;
  std::size_t size() const { return rows_.size(); }

 private:
  struct Row {
    std::string control, action, condition;
  };
  std::vector<Row> rows_;
};

}  // namespace msi::dialogs
