// Pictures of dialogs, drawn without showing a window (QT_QPA_PLATFORM=offscreen works), so a
// package's dialogs can be looked at without running it. A QApplication must exist.
#pragma once

#include <filesystem>

#include <QImage>

#include "engine/dialogs/wizard.h"

namespace msi::qt {

// The wizard's active dialog as it is drawn now, at its scaled size. Throws OperationError
// once the wizard has ended.
QImage dialogImage(const dialogs::Wizard& wizard);

// Writes that picture as PNG. Throws std::runtime_error naming the path when it cannot.
void renderDialog(const dialogs::Wizard& wizard, const std::filesystem::path& path);

}  // namespace msi::qt
