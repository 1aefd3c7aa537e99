// The engine backend: what the engine needs from the tool to run a package's user interface.
#pragma once

#include <memory>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/session/machine.h"
#include "engine/session/session_host.h"
#include "src/installer/engine_dialog_host.h"
#include "src/installer/installer.h"

namespace fennick::installer {

struct EngineSetup {
  msi::SessionHost* messages = nullptr;  // not owned; nullptr: standard error
  // How the run's dialogs are answered (nullptr: dialog actions fail). Only the run's own
  // session (full UI level) shows dialogs; after each of its actions the host may throw
  // WalkMismatch.
  std::shared_ptr<EngineDialogHost> dialogs;
  // The machine sessions run on (nullopt: the default machine of the current user).
  std::optional<msi::EmulatedMachine> machine;
  // Properties as on the installer's command line: given to the run's session (full UI
  // level) only. A silent session over a transformed package (the closed-loop check) must
  // find the choices in the transform.
  std::vector<std::pair<std::string, std::string>> properties;
};

std::shared_ptr<Installer> CreateEngineInstaller(EngineSetup setup);

}  // namespace fennick::installer
