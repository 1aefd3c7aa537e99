// Engine backend: the tool's Session over an engine session.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "engine/session/session.h"
#include "src/installer/engine_installer.h"
#include "src/installer/installer.h"

namespace fennick::installer {

// Opens the package as a fresh-install session, over the database `open` gives for the path.
// Throws Error naming the path and the cause.
std::shared_ptr<Session> OpenEngineSession(
    std::string_view packagePath, int uiLevel, const EngineSetup& setup,
    const std::function<std::shared_ptr<msi::Database>(const std::string& path)>& open);
// A session over a database opened already. Below the full UI level it shows no dialogs and
// keeps its messages to itself, as the service does for a silent installation.
std::shared_ptr<Session> OpenEngineSession(std::shared_ptr<msi::Database> database, int uiLevel,
                                           const EngineSetup& setup);

}  // namespace fennick::installer
