#include "src/ui/progress_window.h"

#include <QGuiApplication>
#include <QScreen>
#include <cmath>

#include "src/ui/app_icon.h"
#include "src/ui/twips.h"

namespace fennick::ui {

ProgressWindow::ProgressWindow() {
  setObjectName("frmTransform");
  setWindowTitle("Fennick");
  setWindowIcon(AppIcon());
  // A fixed frame: the window has no handlers, so it is not meant to be resized.
  setFixedSize(TwipsToPixels(5385), TwipsToPixels(795));

  lblCreate_ = new QLabel("Creating Reference Database", this);
  lblCreate_->setObjectName("lblCreate");
  lblCreate_->setGeometry(TwipsRect(120, 120, 5175, 255));
  lblCreate_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

  objProgress_ = new QProgressBar(this);
  objProgress_->setObjectName("objProgress");
  objProgress_->setGeometry(TwipsRect(120, 360, 5175, 255));
  objProgress_->setOrientation(Qt::Horizontal);
  objProgress_->setTextVisible(false);
  objProgress_->setRange(0, 100);
  objProgress_->setValue(0);
  CentreOnScreen();
}

void ProgressWindow::SetRange(float min, float max) {
  objProgress_->setRange(static_cast<int>(std::lround(min)), static_cast<int>(std::lround(max)));
}

void ProgressWindow::SetValue(float value) { objProgress_->setValue(static_cast<int>(std::lround(value))); }

void ProgressWindow::CentreOnScreen() {
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    QRect frame(QPoint(), size());
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
  }
}

}  // namespace fennick::ui
