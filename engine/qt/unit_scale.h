// Installer units to pixels. One unit is a twelfth of the height of the installer's dialog
// font: 4/3 pixel at 96 DPI, the scale authored bitmaps are made for (a 493 x 58 banner fills
// a 370 x 44 control). These are Qt's device-independent pixels, so a screen whose device
// pixel ratio is above 1 draws the same layout with more physical pixels.
#pragma once

#include <QRect>

#include "engine/dialogs/dialog_model.h"

namespace msi::qt {

inline constexpr double kPixelsPerUnitX = 4.0 / 3.0;
inline constexpr double kPixelsPerUnitY = 4.0 / 3.0;

inline int unitsToPixelsX(int units) { return static_cast<int>(units * kPixelsPerUnitX + 0.5); }
inline int unitsToPixelsY(int units) { return static_cast<int>(units * kPixelsPerUnitY + 0.5); }

// A control's rectangle in pixels. Negative sizes (hostile tables) become empty.
inline QRect toPixels(const dialogs::Rect& r) {
  return QRect(unitsToPixelsX(r.x), unitsToPixelsY(r.y), unitsToPixelsX(r.width < 0 ? 0 : r.width),
               unitsToPixelsY(r.height < 0 ? 0 : r.height));
}

}  // namespace msi::qt
