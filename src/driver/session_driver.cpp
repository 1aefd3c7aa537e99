#include "src/driver/session_driver.h"

#include <fstream>
#include <iostream>
#include <sstream>

#include "src/driver/closing_line.h"
#include "src/driver/output_file.h"
#include "src/driver/run_state.h"
#include "src/installer/dialog_host.h"
#include "src/inspect/inspect.h"
#include "src/transform/transform.h"
#include "src/uirun/uirun.h"
#include "src/tables/working_tables.h"
#include "src/ui/terminal_text.h"

namespace fennick::driver {

extern RunState* g_run;

namespace {

constexpr const char* kCrLf = "\r\n";

// Makes `state` the run in progress for the length of Main.
class CurrentRun {
 public:
  explicit CurrentRun(RunState& state) { g_run = &state; }
  ~CurrentRun() { g_run = nullptr; }
  CurrentRun(const CurrentRun&) = delete;
  CurrentRun& operator=(const CurrentRun&) = delete;
};

void WriteDump(const Options& options, const RunState& run) {
  if (!options.dumpTables) return;
  if (const std::string refusal = OutputRefusal(*options.dumpTables, {run.packagePath}); !refusal.empty())
    throw std::runtime_error("the table dump: " + refusal);
  std::ostringstream out;
  static const tables::WorkingTables kEmpty;
  tables::DumpTables(run.tables ? *run.tables : kEmpty, out);
  WriteFileAtomically(*options.dumpTables, out.str());
}

// Steps 3 and 4: open the package with the full user interface. Any failure inside the
// trap is answered by the open-failure message and ends the run.
void OpenPackage(RunState& run) {
  try {
    run.installer->UILevel(installer::kUILevelFull);
    Pump();
    run.session = run.installer->OpenPackage(run.packagePath, 0);
    run.installer->UILevel(installer::kUILevelFull);
    Pump();
  } catch (const std::exception& failure) {
    const auto* error = dynamic_cast<const installer::Error*>(&failure);
    const std::string description = error ? error->Description() : failure.what();
    ui::ShowMessage(*run.host,
                    "Unable to open package: " + run.packagePath + kCrLf + kCrLf + description);
    Terminate(kExitRefused);
  }
  run.installer->UILevel(installer::kUILevelFull);
  Pump();
}

int RunSteps(RunState& run) {
  OpenPackage(run);

  run.hasUI = false;
  inspect::LoadTables();
  if (!run.hasUI) {
    ui::ShowMessage(*run.host, "There is no user interface in this package.",
                    ui::BoxStyle::Critical, "Exiting");
    Terminate(kExitRefused);
  }
  inspect::LoadUISequence();
  inspect::LoadProperties();
  uirun::RunUISequence();
  uirun::FindChangedProperties();
  transform::BuildTransform();
  // Let the windows catch up before the wind-down.
  Pump();
  switch (run.transformOutcome) {
    case TransformOutcome::Written:
      transform::CheckTransform();
      return kExitTransformWritten;
    case TransformOutcome::Unchanged: return kExitUnchanged;
    default: return kExitSaveCancelled;
  }
}

int RunAndWindDown(const Options& options, RunEnvironment& env, RunState& run) {
  CurrentRun current(run);
  // Outputs that would destroy an input, or cannot be files, are refused before any work.
  for (const std::optional<std::string>& output : {options.dumpTables, options.recordWalk}) {
    if (!output) continue;
    if (const std::string refusal = OutputRefusal(*output, {run.packagePath}); !refusal.empty()) {
      env.err << "fennick: " << ui::TerminalText(refusal, ui::LineBreaks::Escape) << std::endl;
      return kExitFailure;
    }
  }
  int status = kExitTransformWritten;
  try {
    try {
      run.installer = env.createInstaller();
      if (!run.installer) throw installer::Error("the installer service could not be created");
      status = RunSteps(run);
    } catch (const Termination& t) {
      status = t.status;
    }
    WriteDump(options, run);
    // Wind-down: Session, then Installer, then the tables window.
    run.session.reset();
    run.installer.reset();
    if (run.tables) {
      env.host.UnloadTablesWindow();
      run.tables.reset();
    }
    return status;
  } catch (const installer::WalkMismatch& mismatch) {
    // The walk does not fit the package: wrong usage of a headless run, not a failure of it.
    env.err << "fennick: " << ui::TerminalText(mismatch.what(), ui::LineBreaks::Escape) << std::endl;
    try {
      WriteDump(options, run);
    } catch (const std::exception&) {
    }
    return kExitUsage;
  } catch (const std::exception& failure) {
    const auto* error = dynamic_cast<const installer::Error*>(&failure);
    const std::string description = error ? error->Description() : failure.what();
    env.err << "fennick: " << ui::TerminalText(description, ui::LineBreaks::Escape) << std::endl;
    if (env.interactive) env.host.MessageBox(description, ui::BoxStyle::Critical, ui::kAppTitle);
    try {
      WriteDump(options, run);
    } catch (const std::exception&) {
    }
    return kExitFailure;
  }
}

}  // namespace

int Main(const Options& options, RunEnvironment env) {
  RunState run;
  run.host = &env.host;
  run.packagePath = options.packagePath;
  run.commandLineProperties = options.properties;
  run.machineProperties = env.machineProperties;
  run.interactive = env.interactive;
  run.out = env.out ? env.out : &std::cout;
  run.err = &env.err;
  const int status = RunAndWindDown(options, env, run);
  // After every report on standard error, so the line is the last a person reads.
  env.err.flush();
  *run.out << ClosingLine(status, &run) << std::endl;
  return status;
}

}  // namespace fennick::driver
