// The application object the Qt tests need, made once for the test program.
#pragma once

#include <QApplication>

namespace fennick::test {

inline QApplication& qtApplication() {
  static int argc = 1;
  static char name[] = "test_qtdialogs";
  static char* argv[] = {name, nullptr};
  static QApplication app(argc, argv);
  return app;
}

}  // namespace fennick::test
