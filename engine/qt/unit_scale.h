// Installer units to pixels. One unit is a twelfth of the height of the installer's dialog
// font, about 4/3 pixel at 96 DPI; the fonts found on a Linux desktop run wider than that
// font, so texts authored to fit their controls get a little more room here.
#pragma once

#include <QRect>

#include "engine/dialogs/dialog_model.h"

namespace msi::qt {

inline constexpr double kPixelsPerUnitX = 1.5;
inline constexpr double kPixelsPerUnitY = 1.5;

inline int unitsToPixelsX(int units) { return static_cast<int>(units * kPixelsPerUnitX + 0.5); }
inline int unitsToPixelsY(int units) { return static_cast<int>(units * kPixelsPerUnitY + 0.5); }

// A control's rectangle in pixels. Negative sizes (hostile tables) become empty.
inline QRect toPixels(const dialogs::Rect& r) {
  return QRect(unitsToPixelsX(r.x), unitsToPixelsY(r.y), unitsToPixelsX(r.width < 0 ? 0 : r.width),
               unitsToPixelsY(r.height < 0 ? 0 : r.height));
}

}  // namespace msi::qt
