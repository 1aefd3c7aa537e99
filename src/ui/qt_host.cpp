#include "src/ui/qt_host.h"

#include <QCoreApplication>
#include <QFileDialog>

#include "src/ui/save_answer.h"

namespace fennick::ui {

std::unique_ptr<QMessageBox> MakeMessageBox(std::string_view text, BoxStyle style, std::string_view title) {
  auto box = std::make_unique<QMessageBox>(
      style == BoxStyle::Critical ? QMessageBox::Critical : QMessageBox::NoIcon,
      QString::fromUtf8(title.data(), static_cast<int>(title.size())),
      // The texts carry Windows line breaks; Qt wants plain line feeds.
      QString::fromUtf8(text.data(), static_cast<int>(text.size())).replace("\r\n", "\n"),
      QMessageBox::Ok);
  box->setTextFormat(Qt::PlainText);
  return box;
}

QtHost::QtHost() = default;
QtHost::~QtHost() = default;

void QtHost::MessageBox(std::string_view text, BoxStyle style, std::string_view title) {
  auto box = MakeMessageBox(text, style, title);
  box->exec();
}

void QtHost::Pump() { QCoreApplication::processEvents(); }

void QtHost::LoadTablesWindow() {
  if (!tables_) tables_ = std::make_unique<TablesWindow>();  // loaded, never shown
}

void QtHost::UnloadTablesWindow() { tables_.reset(); }

void QtHost::ShowProgress() {
  progress_ = std::make_unique<ProgressWindow>();
  progress_->show();
}

void QtHost::SetProgressRange(float min, float max) {
  if (progress_) progress_->SetRange(min, max);
}

void QtHost::SetProgressValue(float value) {
  if (progress_) progress_->SetValue(value);
}

void QtHost::RefreshProgress() {
  if (progress_) progress_->repaint();
}

void QtHost::UnloadProgress() { progress_.reset(); }

}  // namespace fennick::ui

namespace fennick::ui {

std::string QtHost::PromptSaveTransform() {
  // Owned by the hidden tables window; no question before an existing file is chosen, and no
  // extension is added to a name typed without one.
  LoadTablesWindow();
  const QString path = QFileDialog::getSaveFileName(tables_.get(), "Save Transform", QString(),
                                                    "Windows Installer Transform (*.mst)", nullptr,
                                                    QFileDialog::DontConfirmOverwrite);
  const std::string chosen = TrimSaveAnswer(path.toStdString());
  if (onSaveAnswered) onSaveAnswered(chosen);
  return chosen;
}

}  // namespace fennick::ui
