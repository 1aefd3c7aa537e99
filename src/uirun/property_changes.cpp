#include "src/driver/run_state.h"
#include "src/uirun/uirun.h"

namespace fennick::uirun {

void FindChangedProperties() {
  driver::RunState& run = driver::Run();
  auto& tables = driver::Tables();
  const std::size_t rows = tables.lvProperty.RowCount();
  for (std::size_t i = 1; i <= rows; ++i) {
    const std::string loaded = tables.lvProperty.SubItemText(i, 1);
    const std::string name = tables.lvProperty.RowText(i);
    const std::string current = run.session->Property(name);
    if (current != loaded) {
      tables.lvPropertyChanged.AppendRow(name);
      tables.lvPropertyChanged.AppendSubItem(tables.lvPropertyChanged.RowCount(), current);
    }
  }
}

}  // namespace fennick::uirun
