#include <filesystem>

#include "src/driver/run_state.h"
#include "src/transform/transform.h"

namespace fennick::transform {

void BuildReferenceDatabase() {
  driver::RunState& run = driver::Run();
  auto& lvTable = driver::Tables().lvTable;
  run.packageDatabase = run.installer->OpenDatabase(run.packagePath, installer::kOpenReadOnly);

  const std::string referencePath = GetTempFolder() + "temp.msi";
  std::error_code ec;
  if (std::filesystem::is_regular_file(referencePath, ec)) {
    std::filesystem::remove(referencePath, ec);
    if (ec) throw installer::Error(referencePath + ": cannot delete the old reference database: " + ec.message());
  }
  run.referenceDatabase = run.installer->OpenDatabase(referencePath, installer::kOpenCreate);
  // The copy holds the package's strings: let it read them where the package keeps them.
  run.referenceDatabase->ShareStrings(*run.packageDatabase);

  ui::Host& host = *run.host;
  host.ShowProgress();
  host.SetProgressRange(0.0f, static_cast<float>(lvTable.RowCount()));
  const std::size_t rows = lvTable.RowCount();
  for (std::size_t i = 1; i <= rows; ++i) {
    const std::string table = lvTable.RowText(i);
    if (run.packageDatabase->TablePersistent(table) != installer::kTablePersistent) continue;
    run.packageDatabase->Export(table, GetTempFolder(), "temp.idt");
    run.referenceDatabase->Import(GetTempFolder(), "temp.idt");
    host.SetProgressValue(static_cast<float>(i));
    host.RefreshProgress();
    driver::Pump();
  }
  run.referenceDatabase->Commit();
}

}  // namespace fennick::transform
