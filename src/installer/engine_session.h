// Engine backend: the tool's Session over an engine session.
#pragma once

#include <memory>
#include <string_view>

#include "engine/session/session.h"
#include "src/installer/engine_installer.h"
#include "src/installer/installer.h"

namespace fennick::installer {

// Opens the package as a fresh-install session. Throws Error naming the path and the cause.
std::shared_ptr<Session> OpenEngineSession(std::string_view packagePath, int uiLevel, const EngineSetup& setup);

}  // namespace fennick::installer
