// The engine backend: what the engine needs from the tool to run a package's user interface.
#pragma once

#include <memory>

#include "engine/session/session_host.h"
#include "src/installer/installer.h"

namespace fennick::installer {

struct EngineSetup {
  msi::SessionHost* messages = nullptr;  // not owned; nullptr: standard error
  msi::DialogRunner* dialogs = nullptr;  // not owned; nullptr: dialog actions fail
};

std::shared_ptr<Installer> CreateEngineInstaller(EngineSetup setup);

}  // namespace fennick::installer
