#include <gtest/gtest.h>

#include <QApplication>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <filesystem>

#include "src/installer/engine_dialog_host.h"
#include "src/ui/qt_host.h"

namespace fennick::ui {
namespace {

// One application for the whole test program; headless through QT_QPA_PLATFORM=offscreen.
QApplication& App() {
  static int argc = 1;
  static char name[] = "test_ui";
  static char* argv[] = {name, nullptr};
  static QApplication app(argc, argv);
  return app;
}

std::filesystem::path Picture(const std::string& name) {
  auto dir = std::filesystem::current_path() / "pictures";
  std::filesystem::create_directories(dir);
  return dir / name;
}

TEST(ProgressWindow, LayoutFollowsTheTwipsGrid) {
  App();
  ProgressWindow w;
  EXPECT_EQ(w.windowTitle(), "Fennick");
  EXPECT_EQ(w.size(), QSize(359, 53));  // 5385 x 795 twips
  EXPECT_EQ(w.Label()->geometry(), QRect(8, 8, 345, 17));
  EXPECT_EQ(w.Label()->text(), "Creating Reference Database");
  EXPECT_EQ(w.Bar()->geometry(), QRect(8, 24, 345, 17));
  EXPECT_EQ(w.Bar()->minimum(), 0);
  EXPECT_EQ(w.Bar()->maximum(), 100);

  // The range is replaced at run time by the number of tables.
  w.SetRange(0.0f, 37.0f);
  w.SetValue(12.0f);
  EXPECT_EQ(w.Bar()->maximum(), 37);
  EXPECT_EQ(w.Bar()->value(), 12);

  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  const QPoint centre = QRect(w.pos(), w.size()).center();
  EXPECT_LE(std::abs(centre.x() - screen.center().x()), 1);
  EXPECT_LE(std::abs(centre.y() - screen.center().y()), 1);

  w.show();
  QApplication::processEvents();
  const QPixmap shot = w.grab();
  EXPECT_EQ(shot.size(), QSize(359, 53));
  ASSERT_TRUE(shot.save(QString::fromStdString(Picture("frmTransform.png").string())));
}

TEST(MessageBoxes, PlainAndCriticalCarryTheirTitleTextAndOneButton) {
  App();
  auto plain = MakeMessageBox("Unable to open package: a.msi\r\n\r\nno such file", BoxStyle::Plain, "Fennick");
  auto critical = MakeMessageBox("There is no user interface in this package.", BoxStyle::Critical, "Exiting");
  EXPECT_EQ(plain->windowTitle(), "Fennick");
  EXPECT_EQ(plain->icon(), QMessageBox::NoIcon);
  EXPECT_EQ(plain->text(), "Unable to open package: a.msi\n\nno such file");
  EXPECT_EQ(critical->windowTitle(), "Exiting");
  EXPECT_EQ(critical->icon(), QMessageBox::Critical);
  for (auto* box : {plain.get(), critical.get()}) {
    ASSERT_EQ(box->buttons().size(), 1);
    EXPECT_EQ(box->standardButton(box->buttons()[0]), QMessageBox::Ok);
    box->show();
    QApplication::processEvents();
  }
  ASSERT_TRUE(plain->grab().save(QString::fromStdString(Picture("message-plain.png").string())));
  ASSERT_TRUE(critical->grab().save(QString::fromStdString(Picture("message-critical.png").string())));
}

TEST(TablesWindow, HoldsSixListViewsAndIsNeverShown) {
  App();
  QtHost host;
  host.LoadTablesWindow();
  TablesWindow* w = host.Tables();
  ASSERT_NE(w, nullptr);
  EXPECT_FALSE(w->isVisible());
  EXPECT_EQ(w->windowTitle(), "Tables");
  for (const char* name : {"lvTable", "lvUI", "lvProperty", "lvFeature", "lvPropertyChanged", "lvFeatureChanged"})
    EXPECT_NE(w->ListView(name), nullptr) << name;
  host.UnloadTablesWindow();
  EXPECT_EQ(host.Tables(), nullptr);
}

// An interactive run with --record writes what the dialog host kept: the save answer the Qt host
// reports must reach it, and a run without --record must write nothing.
TEST(WindowDialogs, KeepTheSaveAnswerOnlyWhenRecording) {
  App();
  const auto recording = installer::ShowDialogs(true);
  recording->SaveAnswered("out dir/choices.mst");
  ASSERT_TRUE(recording->Recording());
  EXPECT_NE(recording->Recording()->find("save \"out dir/choices.mst\""), std::string::npos)
      << *recording->Recording();
  EXPECT_THROW(recording->SaveAnswer(), installer::WalkMismatch);

  const auto plain = installer::ShowDialogs(false);
  plain->SaveAnswered("x.mst");
  EXPECT_FALSE(plain->Recording());
}

}  // namespace
}  // namespace fennick::ui
