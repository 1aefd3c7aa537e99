#include "src/driver/run_state.h"
#include "src/inspect/inspect.h"

namespace fennick::inspect {
namespace {

// The one tolerated failure: a row whose key is already present adds nothing.
void AppendTolerated(tables::WorkingTable& table, const std::string& name, const std::string& value) {
  try {
    table.AppendRow(name, name);
  } catch (const tables::TableError&) {
    return;
  }
  table.AppendSubItem(table.RowCount(), value);
}

bool IsBlank(const std::string& text) { return text.find_first_not_of(' ') == std::string::npos; }

}  // namespace

void AddSessionProperty(std::string_view name) {
  const std::string value = driver::Run().session->Property(name);
  AppendTolerated(driver::Tables().lvProperty, std::string(name), value);
}

void LoadProperties() {
  driver::RunState& run = driver::Run();
  auto& lvProperty = driver::Tables().lvProperty;
  auto database = run.session->Database();

  auto properties = database->OpenView("SELECT `Property`, `Value` FROM `Property` ORDER BY `Property`");
  properties->Execute();
  while (auto record = properties->Fetch()) {
    const std::string name = record->StringData(1);
    const std::string value = record->StringData(2);
    lvProperty.AppendRow(name, name);
    lvProperty.AppendSubItem(lvProperty.RowCount(), value);
  }
  properties->Close();

  AddSessionProperty("INSTALLDIR");
  AddSessionProperty("TARGETDIR");

  auto controls = database->OpenView("SELECT DISTINCT `Property` FROM `Control` ORDER BY `Property`");
  controls->Execute();
  while (auto record = controls->Fetch()) {
    const std::string name = record->StringData(1);
    if (IsBlank(name)) continue;
    const std::string value = run.session->Property(name);
    AppendTolerated(lvProperty, name, value);
  }
  controls->Close();

  lvProperty.SetSorted(true);
  lvProperty.SetSorted(false);
}

}  // namespace fennick::inspect
