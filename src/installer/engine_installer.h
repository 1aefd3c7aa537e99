// The engine backend: what the engine needs from the tool to run a package's user interface.
#pragma once

#include <functional>
#include <memory>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/session/machine.h"
#include "engine/session/session_host.h"
#include "src/installer/installer.h"

namespace fennick::installer {

struct EngineSetup {
  msi::SessionHost* messages = nullptr;  // not owned; nullptr: standard error
  msi::DialogRunner* dialogs = nullptr;  // not owned; nullptr: dialog actions fail
  // Called after every action: a runner that keeps its own errors (a walk that no longer fits
  // the package) throws them here, so they reach the tool as themselves.
  std::function<void()> afterAction;
  // The machine sessions run on (nullopt: the default machine of the current user).
  std::optional<msi::EmulatedMachine> machine;
  // Properties as on the installer's command line: given to the run's session (full UI
  // level) only. A silent session over a transformed package (the closed-loop check) must
  // find the choices in the transform.
  std::vector<std::pair<std::string, std::string>> properties;
};

std::shared_ptr<Installer> CreateEngineInstaller(EngineSetup setup);

}  // namespace fennick::installer
