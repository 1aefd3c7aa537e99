#include "src/driver/run_state.h"
#include "src/uirun/uirun.h"

namespace fennick::uirun {

void CaptureFeatureStates() {
  driver::RunState& run = driver::Run();
  auto& lvFeature = driver::Tables().lvFeature;
  auto database = run.session->Database();
  // A package without features has nothing to capture.
  if (database->TablePersistent("Feature") == installer::kTableMissing) return;
  auto view = database->OpenView("SELECT `Feature` FROM `Feature`");
  view->Execute();
  while (auto record = view->Fetch()) {
    const std::string name = record->StringData(1);
    const std::int32_t state = run.session->FeatureRequestState(name);
    lvFeature.AppendRow(name, name);
    lvFeature.AppendSubItem(lvFeature.RowCount(), state);
  }
  view->Close();
}

void RecaptureFeatureStates() {
  driver::RunState& run = driver::Run();
  auto& tables = driver::Tables();
  driver::Pump();
  const std::size_t rows = tables.lvFeature.RowCount();
  for (std::size_t i = 1; i <= rows; ++i) {
    driver::Pump();
    const std::string name = tables.lvFeature.RowText(i);
    const std::int32_t state = run.session->FeatureRequestState(name);
    tables.lvFeatureChanged.AppendRow(name);
    tables.lvFeatureChanged.AppendSubItem(tables.lvFeatureChanged.RowCount(), state);
  }
  driver::Pump();
}

}  // namespace fennick::uirun
