// Real packages' dialogs, drawn: wizards authored with the usual dialog sets (banners,
// bitmaps, licence texts, feature trees) render without a window. Every dialog of every
// package with a user interface goes to pictures/<package>-<dialog>.png for reviewers.
#include <filesystem>
#include <set>

#include <QImage>

#include <gtest/gtest.h>

#include "engine/qt/dialog_picture.h"
#include "engine/session/table_rows.h"
#include "engine/qt/unit_scale.h"
#include "engine/session/sequence_runner.h"
#include "tests/dialogs/dialog_test_support.h"
#include "tests/qt/qt_test_support.h"
#include "tests/support/fixtures.h"

namespace fennick::test {
namespace {

namespace fs = std::filesystem;

fs::path picturePath(const std::string& stem, const std::string& dialog) {
  const fs::path dir = fs::current_path() / "pictures";
  fs::create_directories(dir);
  return dir / (stem + "-" + dialog + ".png");
}

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
      image.save(QString::fromStdString(picturePath(stem_, first).string()), "PNG");
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

void PrintTo(const FixtureDialog& f, std::ostream* os) { *os << f.package; }

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

// Once the sequence reaches its first modal dialog (costing done, properties as the dialogs
// see them), draws every dialog of the Dialog table, each in a wizard of its own. Modeless
// dialogs sequenced before costing (a "please wait" dialog) pass as they do in a real run.
class EveryDialogRunner : public msi::DialogRunner {
 public:
  explicit EveryDialogRunner(std::string stem) : stem_(std::move(stem)) {}
  msi::ActionStatus runDialog(msi::Session& session, std::string_view dialog) override {
    if (!drawn.empty() || !failed.empty()) return msi::ActionStatus::UserExit;
    {
      msi::dialogs::Wizard sequenced(session, dialog);
      if (sequenced.finished()) return sequenced.result();
    }
    msi::TableRows table(*session.database(), "Dialog", {"Dialog", "Width", "Height"});
    for (std::size_t r = 0; r < table.size(); ++r) {
      const std::string name = table.text(r, 0);
      msi::dialogs::Wizard wizard(session, name);
      if (wizard.dialogs().empty()) {
        failed.push_back(name);
        continue;
      }
      const QImage image = msi::qt::dialogImage(wizard);
      image.save(QString::fromStdString(picturePath(stem_, name).string()), "PNG");
      const QSize expected(msi::qt::unitsToPixelsX(table.integer(r, 1).value_or(0)),
                           msi::qt::unitsToPixelsY(table.integer(r, 2).value_or(0)));
      if (image.size() != expected) failed.push_back(name + " (drawn at the wrong size)");
      drawn.push_back(name);
    }
    return msi::ActionStatus::UserExit;
  }
  std::vector<std::string> drawn, failed;

 private:
  std::string stem_;
};

struct UiPackage {
  const char* stem;
  const char* package;
  std::size_t dialogs;  // rows of its Dialog table
};

void PrintTo(const UiPackage& p, std::ostream* os) { *os << p.package; }

class EveryDialogPicture : public ::testing::TestWithParam<UiPackage> {};

TEST_P(EveryDialogPicture, EveryDialogOfThePackageIsDrawn) {
  FENNICK_REQUIRE_FIXTURES();
  qtApplication();
  const UiPackage& p = GetParam();
  EveryDialogRunner runner(p.stem);
  KeptMessages host;
  auto session = openSession(openFixture(p.package), host, &runner);
  msi::runSequence(*session, "InstallUISequence");
  EXPECT_EQ(runner.drawn.size(), p.dialogs) << host.all();
  EXPECT_TRUE(runner.failed.empty()) << ::testing::PrintToString(runner.failed) << host.all();
}

INSTANTIATE_TEST_SUITE_P(
    Fixtures, EveryDialogPicture,
    ::testing::Values(UiPackage{"putty", "ui-wix3-putty-installdir-featuretree/putty-0.68-installer.msi", 22},
                      UiPackage{"gaze", "ui-wix3-minimal-gaze/GazeToolbarInstall.msi", 17},
                      UiPackage{"tricky", "ui-wix3-installdir-tricky/ui.msi", 23},
                      UiPackage{"winget", "ui-vsinstaller-winget/AppInstallerTestMsiInstaller.msi", 24},
                      UiPackage{"filetype", "ui-vsinstaller-filetype-small/fixture.msi", 24},
                      UiPackage{"irida", "ui-pymsilib-irida-pythonfeatures/iridaUploader-0.1.win32.msi", 13}),
    [](const auto& info) { return std::string(info.param.stem); });

}  // namespace
}  // namespace fennick::test
