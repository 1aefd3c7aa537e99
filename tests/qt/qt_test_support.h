// The application object the Qt tests need, made once for the test program, and where their
// pictures go.
#pragma once

#include <filesystem>
#include <string>

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

// Where a test puts picture `name`.png: the build folder's pictures/, where reviewers look.
inline std::filesystem::path picturePath(const std::string& name) {
  const std::filesystem::path dir = std::filesystem::current_path() / "pictures";
  std::filesystem::create_directories(dir);
  return dir / (name + ".png");
}

}  // namespace fennick::test
