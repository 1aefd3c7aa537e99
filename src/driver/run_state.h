// The shared state of a run: what Main holds and every step finds its input in.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "src/installer/installer.h"
#include "src/tables/working_tables.h"
#include "src/ui/host.h"

namespace fennick::transform {
class ScratchLock;
}

namespace fennick::driver {

enum class TransformOutcome { NotReached, Written, Cancelled, Unchanged };

struct RunState {
  RunState();
  ~RunState();
  std::string packagePath;
  std::shared_ptr<installer::Installer> installer;
  std::shared_ptr<installer::Session> session;
  bool hasUI = false;
  ui::Host* host = nullptr;
  // The two databases of the transform build, held for its length only.
  std::shared_ptr<installer::Database> packageDatabase;
  std::shared_ptr<installer::Database> referenceDatabase;
  // Held while the build uses the shared scratch folder (see transform::ScratchLock).
  std::unique_ptr<transform::ScratchLock> scratchLock;
  TransformOutcome transformOutcome = TransformOutcome::NotReached;
  std::string transformPath;  // where the transform was written
  bool interactive = false;   // a person answers: a refused save path is asked again
  // Watched directory properties (and INSTALLLEVEL) whose load-time value came from the
  // session rather than the Property table, and their values right after CostFinalize:
  // costing resolves directories and defaults the install level, not the user.
  std::vector<std::string> sessionProperties;
  std::map<std::string, std::string> costedProperties;
  // Properties given as on the installer's command line (--property): choices made without
  // a dialog, watched from the package's own value.
  std::vector<std::pair<std::string, std::string>> commandLineProperties;
  // Properties the machine reports (a machine file's): watched from the session's value, so
  // that the machine is never written into the transform.
  std::vector<std::string> machineProperties;
  // Every watched property with its value after the UI run, in lvProperty order.
  std::vector<std::pair<std::string, std::string>> chosenProperties;
  // What the change writer put into the reference database.
  std::size_t propertiesWritten = 0;
  std::size_t featuresWritten = 0;
  // Where the closing line of a run goes (standard output), and warnings (standard error).
  std::ostream* out = nullptr;
  std::ostream* err = nullptr;
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
  kExitUnchanged = 6,
};

}  // namespace fennick::driver
