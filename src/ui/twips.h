// Window geometry is laid out in twips (1/1440 inch); at 96 dots per inch 15 twips make a pixel.
#pragma once

#include <QRect>

namespace fennick::ui {

constexpr int TwipsToPixels(int twips) { return twips / 15; }
inline QRect TwipsRect(int left, int top, int width, int height) {
  return QRect(TwipsToPixels(left), TwipsToPixels(top), TwipsToPixels(width), TwipsToPixels(height));
}

}  // namespace fennick::ui
