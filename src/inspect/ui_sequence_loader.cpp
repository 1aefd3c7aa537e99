#include "src/driver/run_state.h"
#include "src/inspect/inspect.h"

namespace fennick::inspect {

void LoadUISequence() {
  auto& lvUI = driver::Tables().lvUI;
  auto database = driver::Run().session->Database();
  auto view = database->OpenView(
      "SELECT `Action`, `Condition`, `Sequence` FROM `InstallUISequence` ORDER BY `Sequence`");
  view->Execute();
  while (auto record = view->Fetch()) {
    const std::string action = record->StringData(1);
    lvUI.AppendRow(action, action);
    lvUI.AppendSubItem(lvUI.RowCount(), record->StringData(2));
    lvUI.AppendSubItem(lvUI.RowCount(), record->StringData(3));
  }
  view->Close();
}

}  // namespace fennick::inspect
