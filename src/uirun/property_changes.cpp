#include "src/driver/run_state.h"
#include "src/uirun/uirun.h"

namespace fennick::uirun {

void CaptureCostedProperties() {
  driver::RunState& run = driver::Run();
  for (const std::string& name : run.sessionProperties) run.costedProperties[name] = run.session->Property(name);
}

void FindChangedProperties() {
  driver::RunState& run = driver::Run();
  auto& tables = driver::Tables();
  const std::size_t rows = tables.lvProperty.RowCount();
  run.chosenProperties.clear();
  for (std::size_t i = 1; i <= rows; ++i) {
    const std::string name = tables.lvProperty.RowText(i);
    const auto costed = run.costedProperties.find(name);
    const std::string loaded =
        costed != run.costedProperties.end() ? costed->second : tables.lvProperty.SubItemText(i, 1);
    const std::string current = run.session->Property(name);
    // Every watched value as the run leaves it: what the written transform must reproduce.
    run.chosenProperties.emplace_back(name, current);
    if (current != loaded) {
      tables.lvPropertyChanged.AppendRow(name);
      tables.lvPropertyChanged.AppendSubItem(tables.lvPropertyChanged.RowCount(), current);
    }
  }
}

}  // namespace fennick::uirun
