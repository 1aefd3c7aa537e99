// Main: runs the whole job once, in a fixed order, and winds down.
#pragma once

#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "src/driver/command_line.h"
#include "src/installer/installer.h"
#include "src/ui/host.h"

namespace fennick::driver {

using InstallerFactory = std::function<std::shared_ptr<installer::Installer>()>;

struct RunEnvironment {
  ui::Host& host;
  InstallerFactory createInstaller;
  std::ostream& err;         // where unhandled failures are reported
  bool interactive = false;  // an unhandled failure also shows a critical box
  std::ostream* out = nullptr;  // the closing line of the run; nullptr: standard output
  // Properties the machine (a machine file) reports: they describe the machine, not a choice.
  std::vector<std::string> machineProperties = {};
};

// Runs the job for `options` and returns the process exit status.
int Main(const Options& options, RunEnvironment env);

}  // namespace fennick::driver
