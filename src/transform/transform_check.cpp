#include <ostream>
#include <vector>

#include "src/driver/run_state.h"
#include "src/transform/transform.h"
#include "src/ui/terminal_text.h"
#include "src/uirun/uirun.h"
#include "engine/text/integers.h"

namespace fennick::transform {
namespace {

std::string StateWord(std::int32_t state) {
  switch (state) {
    case installer::kStateNoAction: return "not installed (-1)";
    case installer::kStateAdvertised: return "advertised (1)";
    case installer::kStateAbsent: return "absent (2)";
    case installer::kStateLocal: return "local (3)";
    case installer::kStateSource: return "source (4)";
    default: return std::to_string(state);
  }
}

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

// Plays the rows of lvUI on `session` as the runner does, without dialogs, and stops before
// ExecuteAction. Returns why it could not go on, or "".
std::string Replay(installer::Session& session) {
  auto& lvUI = driver::Tables().lvUI;
  const std::size_t rows = lvUI.RowCount();
  for (std::size_t i = 1; i <= rows; ++i) {
    const std::string action = lvUI.RowText(i);
    if (action == "ExecuteAction") break;
    const std::int32_t condition = session.EvaluateCondition(lvUI.SubItemText(i, 1));
    if (!uirun::RowRuns(condition, action, lvUI.SubItemText(i, 2))) continue;
    const std::int32_t status = session.DoAction(action);
    if (status > installer::kActionSuccess)
      return "action " + action + " ended with status " + std::to_string(status);
  }
  return {};
}

// A value as a session that starts with it holds it: ALLUSERS 2 asks the installer to choose
// the context, per-machine ("1") unless MSIINSTALLPERUSER is 1 (per-user, "").
std::string AsResolvedAtStart(const std::string& name, const std::string& value,
                              const std::vector<std::pair<std::string, std::string>>& chosen) {
  if (name != "ALLUSERS" || value != "2") return value;
  for (const auto& [other, otherValue] : chosen)
    if (other == "MSIINSTALLPERUSER" && otherValue == "1") return "";
  return "1";
}

}  // namespace

void CheckTransform() {
  driver::RunState& run = driver::Run();
  auto& tables = driver::Tables();
  std::ostream& err = *run.err;
  const std::string& path = run.transformPath;

  auto database = run.installer->OpenDatabase(run.packagePath, installer::kOpenReadOnly);
  database->ApplyTransform(path, 0);
  // As a silent installation with the transform would: no dialogs, no messages.
  run.installer->UILevel(installer::kUILevelNone);
  auto session = run.installer->OpenPackage(*database, 0);
  run.installer->UILevel(installer::kUILevelFull);

  std::vector<std::string> differences;
  if (const std::string stopped = Replay(*session); !stopped.empty())
    differences.push_back("the package with the transform stops before ExecuteAction: " + stopped);

  const std::size_t features = tables.lvFeatureChanged.RowCount();
  for (std::size_t i = 1; i <= features; ++i) {
    const std::string name = tables.lvFeatureChanged.RowText(i);
    const std::int32_t chosen =
        msi::text::parseInt32(tables.lvFeatureChanged.SubItemText(i, 1)).value_or(installer::kStateNoAction);
    std::string reproduced;
    try {
      const std::int32_t state = session->FeatureRequestState(name);
      if (state == chosen) continue;
      reproduced = StateWord(state);
    } catch (const installer::Error& error) {
      reproduced = "unknown (" + error.Description() + ")";
    }
    differences.push_back("feature " + name + ": chosen " + StateWord(chosen) + ", reproduced " + reproduced);
  }
  for (const auto& [name, chosen] : run.chosenProperties) {
    const std::string reproduced = session->Property(name);
    if (reproduced != chosen && reproduced != AsResolvedAtStart(name, chosen, run.chosenProperties))
      differences.push_back("property " + name + ": chosen " + Quoted(chosen) + ", reproduced " + Quoted(reproduced));
  }
  session.reset();
  database.reset();

  if (differences.empty()) {
    *run.out << ui::TerminalText(path, ui::LineBreaks::Escape) << ": " << run.propertiesWritten << (run.propertiesWritten == 1 ? " property, " : " properties, ")
             << run.featuresWritten << (run.featuresWritten == 1 ? " feature" : " features")
             << " changed; applying it reproduces your choices" << std::endl;
    return;
  }
  std::string list;
  for (const std::string& difference : differences) {
    err << "fennick: warning: " << ui::TerminalText(path + " does not reproduce your choice: " + difference,
                                                   ui::LineBreaks::Escape)
        << std::endl;
    list += "\r\n" + difference;
  }
  if (run.interactive)
    ui::ShowMessage(*run.host, "The transform " + path + " was written, but applied to the package it does not "
                    "reproduce these choices:\r\n" + list, ui::BoxStyle::Critical, "Transform Check");
}

}  // namespace fennick::transform
