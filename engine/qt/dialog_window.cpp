#include "engine/qt/dialog_window.h"

#include <QMessageBox>

#include "engine/qt/child_window.h"
#include "engine/qt/unit_scale.h"

namespace msi::qt {

DialogWindow::DialogWindow(dialogs::Wizard& wizard, QWidget* parent) : QDialog(parent), wizard_(wizard) {
  setModal(true);
  wizard_.addObserver(*this);
  rebuild();
}

DialogWindow::~DialogWindow() {
  wizard_.removeObserver(*this);
  dropLevelsFrom(0);
}

QWidget* DialogWindow::controlWidget(const std::string& control) const {
  return view_ ? view_->widget(control) : nullptr;
}

QWidget* DialogWindow::activeWindow() const {
  return levels_.empty() ? const_cast<DialogWindow*>(this) : static_cast<QWidget*>(levels_.back().window);
}

void DialogWindow::dropLevelsFrom(std::size_t keep) {
  while (levels_.size() > keep) {
    Level level = levels_.back();
    levels_.pop_back();
    // The old widgets may be inside the handler that got here: they go when it returns.
    level.view->retire();
    level.view->hide();
    if (level.window != this) {
      level.window->hide();
      level.window->deleteLater();
    } else {
      level.view->deleteLater();
    }
  }
}

DialogView* DialogWindow::makeView(const dialogs::Dialog& dialog, QWidget* window) {
  auto* view = new DialogView(wizard_, dialog, [this](const UserInput& input) { apply(input); }, window);
  setDialogTitle(*window, dialog.title);
  window->setFixedSize(view->size());
  view->show();
  view->focusFirst();
  return view;
}

void DialogWindow::rebuild() {
  stale_ = false;
  const std::vector<const dialogs::Dialog*> stack =
      wizard_.finished() ? std::vector<const dialogs::Dialog*>{} : wizard_.dialogs();
  // Dialogs still on the stack keep their windows; the rest go.
  std::size_t keep = 0;
  while (keep < levels_.size() && keep < stack.size() && levels_[keep].dialog == stack[keep] &&
         levels_[keep].name == stack[keep]->name)
    ++keep;
  dropLevelsFrom(keep);
  for (std::size_t i = 0; i < levels_.size(); ++i) levels_[i].view->update(*stack[i]);
  for (std::size_t i = levels_.size(); i < stack.size(); ++i) {
    QDialog* window = this;
    if (i > 0) window = new ChildWindow(levels_.back().window, [this] { reject(); });
    DialogView* view = makeView(*stack[i], window);
    levels_.push_back(Level{stack[i], stack[i]->name, window, view});
    if (auto* child = dynamic_cast<ChildWindow*>(window); child && isVisible()) child->showOver();
  }
  view_ = levels_.empty() ? nullptr : levels_.back().view;
  shown_ = levels_.empty() ? std::string() : levels_.back().name;
}

void DialogWindow::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  for (const Level& level : levels_)
    if (auto* child = dynamic_cast<ChildWindow*>(level.window); child && !child->isVisible()) child->showOver();
}

void DialogWindow::render() {
  if (wizard_.finished()) {
    rebuild();
    done(QDialog::Accepted);
    return;
  }
  if (stale_ || wizard_.active().name != shown_ || wizard_.dialogs().size() != levels_.size()) {
    rebuild();
    return;
  }
  view_->update(wizard_.active());
}

void DialogWindow::published(const dialogs::Wizard&) {
  // An action run by a control event published texts or progress: shown at once, the
  // action has not returned to the event loop yet.
  if (wizard_.finished() || stale_) return;
  for (const Level& level : levels_) {
    level.view->update(*level.dialog);
    level.view->repaint();
  }
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
    QWidget* over = activeWindow();
    auto* box = new QMessageBox(QMessageBox::Warning, over->windowTitle(), QString::fromStdString(lastRefusal_),
                                QMessageBox::Ok, over);
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
