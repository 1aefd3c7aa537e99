#include "engine/qt/child_window.h"

namespace msi::qt {

ChildWindow::ChildWindow(QWidget* over, std::function<void()> cancel) : QDialog(over), cancel_(std::move(cancel)) {
  setWindowModality(Qt::WindowModal);
}

void ChildWindow::showOver() {
  if (QWidget* over = parentWidget()) {
    const QRect frame = over->window()->geometry();
    move(frame.center() - QPoint(width() / 2, height() / 2));
  }
  show();
}

void setDialogTitle(QWidget& window, const std::string& title) {
  window.setWindowTitle(title.empty() ? QStringLiteral(" ") : QString::fromStdString(title));
}

}  // namespace msi::qt
