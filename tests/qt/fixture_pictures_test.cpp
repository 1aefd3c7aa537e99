// The first dialog of real packages' UI sequences, drawn: wizards authored with the usual
// dialog sets (banners, bitmaps, licence texts, feature trees) render without a window.
#include <filesystem>
#include <set>

#include <QImage>

#include <gtest/gtest.h>

#include "engine/qt/dialog_picture.h"
#include "engine/qt/unit_scale.h"
#include "engine/session/sequence_runner.h"
#include "tests/dialogs/dialog_test_support.h"
#include "tests/qt/qt_test_support.h"
#include "tests/support/fixtures.h"

namespace fennick::test {
namespace {

namespace fs = std::filesystem;

// Draws the first dialog the sequence runs, then leaves the dialogs as Cancel would.
class PictureRunner : public msi::DialogRunner {
 public:
  explicit PictureRunner(std::string stem) : stem_(std::move(stem)) {}
  msi::ActionStatus runDialog(msi::Session& session, std::string_view dialog) override {
    msi::dialogs::Wizard wizard(session, dialog);
    if (wizard.finished()) return wizard.result();
    if (image.isNull()) {
      first = wizard.active().name;
      width = wizard.active().width;
      height = wizard.active().height;
      image = msi::qt::dialogImage(wizard);
      const fs::path dir = fs::current_path() / "pictures";
      fs::create_directories(dir);
      image.save(QString::fromStdString((dir / (stem_ + "-" + first + ".png")).string()), "PNG");
    }
    return msi::ActionStatus::UserExit;
  }
  std::string first;
  int width = 0, height = 0;
  QImage image;

 private:
  std::string stem_;
};

// How many distinct colours a picture holds (up to a bound): a dialog with a banner bitmap has
// far more than the two or three of a blank window.
int coloursIn(const QImage& image, int bound) {
  std::set<QRgb> colours;
  for (int y = 0; y < image.height(); y += 2)
    for (int x = 0; x < image.width(); x += 2) {
      colours.insert(image.pixel(x, y));
      if (static_cast<int>(colours.size()) >= bound) return bound;
    }
  return static_cast<int>(colours.size());
}

struct FixtureDialog {
  const char* stem;
  const char* package;
  const char* firstDialog;
};

class FixturePicture : public ::testing::TestWithParam<FixtureDialog> {};

TEST_P(FixturePicture, FirstDialogIsDrawnAtItsSizeWithItsBitmap) {
  FENNICK_REQUIRE_FIXTURES();
  qtApplication();
  const FixtureDialog& f = GetParam();
  PictureRunner runner(f.stem);
  KeptMessages host;
  auto session = openSession(openFixture(f.package), host, &runner);
  msi::runSequence(*session, "InstallUISequence");
  ASSERT_FALSE(runner.image.isNull()) << host.all();
  EXPECT_EQ(runner.first, f.firstDialog);
  EXPECT_EQ(runner.image.width(), msi::qt::unitsToPixelsX(runner.width));
  EXPECT_EQ(runner.image.height(), msi::qt::unitsToPixelsY(runner.height));
  EXPECT_GE(coloursIn(runner.image, 200), 200);
}

INSTANTIATE_TEST_SUITE_P(
    Fixtures, FixturePicture,
    ::testing::Values(FixtureDialog{"gaze", "ui-wix3-minimal-gaze/GazeToolbarInstall.msi", "WelcomeDlg"},
                      FixtureDialog{"putty", "ui-wix3-putty-installdir-featuretree/putty-0.68-installer.msi",
                                    "WelcomeDlg"}),
    [](const auto& info) { return std::string(info.param.stem); });

}  // namespace
}  // namespace fennick::test
