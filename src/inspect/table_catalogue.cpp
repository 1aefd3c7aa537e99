#include "src/driver/run_state.h"
#include "src/inspect/inspect.h"

namespace fennick::inspect {

void LoadTables() {
  driver::RunState& run = driver::Run();
  auto& lvTable = driver::Tables().lvTable;
  // A database of its own, read-only: the session's database is not touched here.
  auto catalogue = run.installer->OpenDatabase(run.packagePath, installer::kOpenReadOnly);
  auto view = catalogue->OpenView("SELECT `Name` FROM `_Tables` ORDER BY `Name`");
  view->Execute();
  while (auto record = view->Fetch()) {
    const std::string name = record->StringData(1);
    if (name == "InstallUISequence") run.hasUI = true;
    lvTable.AppendRow(name, name);
  }
  view->Close();
}

}  // namespace fennick::inspect
