#include <algorithm>
#include <map>

#include "src/driver/run_state.h"
#include "src/inspect/inspect.h"

namespace fennick::inspect {
namespace {

// The one tolerated failure: a row whose key is already present adds nothing. A row whose
// value came from the session is remembered, for the baseline taken after costing.
void AppendTolerated(tables::WorkingTable& table, const std::string& name, const std::string& value) {
  try {
    table.AppendRow(name, name);
  } catch (const tables::TableError&) {
    return;
  }
  table.AppendSubItem(table.RowCount(), value);
  driver::Run().sessionProperties.push_back(name);
}

bool IsBlank(const std::string& text) { return text.find_first_not_of(' ') == std::string::npos; }

// A package may lack any optional table: its query would fail, so it is not asked.
bool HasTable(installer::Database& database, std::string_view table) {
  return database.TablePersistent(table) != installer::kTableMissing;
}

// The property a ControlEvent row sets: its event is `[NAME]`.
std::string EventProperty(const std::string& event) {
  if (event.size() < 3 || event.front() != '[' || event.back() != ']') return {};
  return event.substr(1, event.size() - 2);
}

// Appends every name the query's first column yields, with the session's value.
void AppendSessionProperties(installer::Database& database, std::string_view query,
                             std::string (*nameOf)(const std::string&)) {
  driver::RunState& run = driver::Run();
  auto view = database.OpenView(query);
  view->Execute();
  while (auto record = view->Fetch()) {
    const std::string name = nameOf(record->StringData(1));
    if (IsBlank(name)) continue;
    const std::string value = run.session->Property(name);
    AppendTolerated(driver::Tables().lvProperty, name, value);
  }
  view->Close();
}

bool MachineReports(const driver::RunState& run, const std::string& name) {
  return std::find(run.machineProperties.begin(), run.machineProperties.end(), name) != run.machineProperties.end();
}

bool GivenOnCommandLine(const driver::RunState& run, const std::string& name) {
  return std::any_of(run.commandLineProperties.begin(), run.commandLineProperties.end(),
                     [&](const auto& given) { return given.first == name; });
}

}  // namespace

void AddSessionProperty(std::string_view name) {
  const std::string value = driver::Run().session->Property(name);
  AppendTolerated(driver::Tables().lvProperty, std::string(name), value);
}

void LoadProperties() {
  driver::RunState& run = driver::Run();
  auto& lvProperty = driver::Tables().lvProperty;
  auto database = run.session->Database();

  // A property the machine reports (a machine file's) is watched from the session's value, and
  // one given on the command line from the package's: neither is the package's own choice.
  std::map<std::string, std::string> packageValues;
  if (HasTable(*database, "Property")) {
    auto properties = database->OpenView("SELECT `Property`, `Value` FROM `Property` ORDER BY `Property`");
    properties->Execute();
    while (auto record = properties->Fetch()) {
      const std::string name = record->StringData(1);
      const std::string value = record->StringData(2);
      packageValues[name] = value;
      if (MachineReports(run, name) && !GivenOnCommandLine(run, name)) {
        AddSessionProperty(name);
        continue;
      }
      lvProperty.AppendRow(name, name);
      lvProperty.AppendSubItem(lvProperty.RowCount(), value);
    }
    properties->Close();
  }

  for (const auto& [name, value] : run.commandLineProperties) {
    try {
      lvProperty.AppendRow(name, name);
    } catch (const tables::TableError&) {
      continue;  // in the Property table: its row holds the package's value
    }
    lvProperty.AppendSubItem(lvProperty.RowCount(), packageValues.count(name) ? packageValues.at(name) : "");
  }

  AddSessionProperty("INSTALLDIR");
  AddSessionProperty("TARGETDIR");

  if (HasTable(*database, "Control"))
    AppendSessionProperties(*database, "SELECT DISTINCT `Property` FROM `Control` ORDER BY `Property`",
                            [](const std::string& name) { return name; });

  // Choices a dialog makes without a control bound to them: the install level a setup-type
  // button raises, the installation context, and whatever a button's `[NAME]` event sets.
  AddSessionProperty("INSTALLLEVEL");
  AddSessionProperty("ALLUSERS");
  AddSessionProperty("MSIINSTALLPERUSER");
  if (HasTable(*database, "ControlEvent"))
    AppendSessionProperties(*database, "SELECT DISTINCT `Event` FROM `ControlEvent` ORDER BY `Event`",
                            EventProperty);

  // Of the session's values, costing resolves the directories and defaults the install level;
  // any other value that differs later was set by an action or a dialog, which may come
  // before CostFinalize.
  std::vector<std::string> directories;
  for (const std::string& name : run.sessionProperties)
    if (name == "INSTALLLEVEL") directories.push_back(name);
  if (HasTable(*database, "Directory")) {
    auto view = database->OpenView("SELECT `Directory` FROM `Directory` WHERE `Directory` = ?");
    auto key = run.installer->CreateRecord(1);
    for (const std::string& name : run.sessionProperties) {
      key->StringData(1, name);
      view->Execute(key.get());
      if (view->Fetch()) directories.push_back(name);
      view->Close();
    }
  }
  run.sessionProperties = std::move(directories);

  lvProperty.SetSorted(true);
  lvProperty.SetSorted(false);
}

}  // namespace fennick::inspect
