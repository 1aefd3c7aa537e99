#include "engine/qt/dialog_window.h"

#include <QMessageBox>

#include "engine/qt/unit_scale.h"

namespace msi::qt {

DialogWindow::DialogWindow(dialogs::Wizard& wizard, QWidget* parent) : QDialog(parent), wizard_(wizard) {
  setModal(true);
  wizard_.addObserver(*this);
  rebuild();
}

DialogWindow::~DialogWindow() { wizard_.removeObserver(*this); }

QWidget* DialogWindow::controlWidget(const std::string& control) const {
  return view_ ? view_->widget(control) : nullptr;
}

void DialogWindow::rebuild() {
  stale_ = false;
  if (view_) {
    // The old widgets may be inside the handler that got here: they go when it returns.
    view_->retire();
    view_->hide();
    view_->deleteLater();
    view_ = nullptr;
  }
  if (wizard_.finished()) {
    shown_.clear();
    depth_ = 0;
    return;
  }
  const dialogs::Dialog& dialog = wizard_.active();
  shown_ = dialog.name;
  depth_ = wizard_.dialogs().size();
  view_ = new DialogView(wizard_, dialog, [this](const UserInput& input) { apply(input); }, this);
  setWindowTitle(QString::fromStdString(dialog.title));
  setFixedSize(view_->size());
  view_->show();
  if (QWidget* first = view_->widget(dialog.firstControl)) first->setFocus();
}

void DialogWindow::render() {
  if (wizard_.finished()) {
    rebuild();
    done(QDialog::Accepted);
    return;
  }
  if (stale_ || wizard_.active().name != shown_ || wizard_.dialogs().size() != depth_) {
    rebuild();
    return;
  }
  view_->update(wizard_.active());
}

void DialogWindow::perform(const UserInput& input) {
  switch (input.kind) {
    case UserInput::Kind::SetValue: wizard_.setValue(input.control, input.value); break;
    case UserInput::Kind::SetChecked: wizard_.setChecked(input.control, input.checked); break;
    case UserInput::Kind::Choose: wizard_.choose(input.control, input.value); break;
    case UserInput::Kind::FeatureState: wizard_.setFeatureState(input.control, input.state); break;
    case UserInput::Kind::Press: wizard_.press(input.control); break;
  }
}

void DialogWindow::apply(const UserInput& input) {
  if (wizard_.finished() || !view_) return;
  lastRefusal_.clear();
  try {
    if (input.kind != UserInput::Kind::SetValue)
      for (const UserInput& edit : view_->pendingEdits(wizard_.active())) perform(edit);
    if (!wizard_.finished()) perform(input);
  } catch (const dialogs::OperationError& e) {
    lastRefusal_ = e.what();
  }
  render();
  if (!lastRefusal_.empty() && isVisible()) {
    // Not exec(): a refusal must not start another event loop inside an input handler.
    auto* box = new QMessageBox(QMessageBox::Warning, windowTitle(), QString::fromStdString(lastRefusal_),
                                QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
  }
}

void DialogWindow::reject() {
  if (wizard_.finished()) {
    QDialog::reject();
    return;
  }
  wizard_.cancel();
  render();
}

}  // namespace msi::qt
