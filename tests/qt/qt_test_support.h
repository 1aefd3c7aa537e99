// The application object the Qt tests need, made once for the test program.
#pragma once

#include <QApplication>
#include <QInputDevice>

namespace fennick::test {

inline QApplication& qtApplication() {
  // Qt's list of input devices must outlive the application, whose destructor deletes the
  // keyboard a simulated key press creates: statics go in the reverse order they came.
  [[maybe_unused]] static const bool devicesFirst = (QInputDevice::devices(), true);
  static int argc = 1;
  static char name[] = "test_qtdialogs";
  static char* argv[] = {name, nullptr};
  static QApplication app(argc, argv);
  return app;
}

}  // namespace fennick::test
