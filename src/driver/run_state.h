// The shared state of a run: what Main holds and every step finds its input in.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "src/installer/installer.h"
#include "src/tables/working_tables.h"
#include "src/ui/host.h"

namespace fennick::driver {

enum class TransformOutcome { NotReached, Written, Cancelled };

struct RunState {
  std::string packagePath;
  std::shared_ptr<installer::Installer> installer;
  std::shared_ptr<installer::Session> session;
  bool hasUI = false;
  ui::Host* host = nullptr;
  // The two databases of the transform build, held for its length only.
  std::shared_ptr<installer::Database> packageDatabase;
  std::shared_ptr<installer::Database> referenceDatabase;
  TransformOutcome transformOutcome = TransformOutcome::NotReached;
  // Loaded, with the hidden tables window, at the first access through Tables().
  std::optional<tables::WorkingTables> tables;
};

// The run in progress. Set by Main for the length of the run.
RunState& Run();
// The working tables; the first access loads the tables window that holds them.
tables::WorkingTables& Tables();
// Handles every window message already waiting.
void Pump();

// Ends the run at once with `status` (unwinds to the entry point, which exits with it).
struct Termination {
  int status;
};
[[noreturn]] void Terminate(int status);

// Process exit statuses.
enum ExitStatus : int {
  kExitTransformWritten = 0,
  kExitFailure = 1,
  kExitUsage = 2,
  kExitRefused = 3,
  kExitActionFailed = 4,
  kExitSaveCancelled = 5,
};

}  // namespace fennick::driver
