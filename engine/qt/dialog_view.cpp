#include "engine/qt/dialog_view.h"

#include <algorithm>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include "engine/qt/mnemonics.h"
#include "engine/qt/unit_scale.h"

namespace msi::qt {

using dialogs::Control;
using dialogs::ControlType;

DialogView::DialogView(const dialogs::Wizard& wizard, const dialogs::Dialog& dialog, Sink sink, QWidget* parent)
    : QWidget(parent),
      wizard_(wizard),
      sink_(std::move(sink)),
      context_{wizard, [this](const UserInput& input) { send(input); }} {
  setObjectName(qs(dialog.name));
  resize(unitsToPixelsX(std::max(dialog.width, 0)), unitsToPixelsY(std::max(dialog.height, 0)));
  // The default style sets the dialog's base font, so controls without a style match it.
  if (const dialogs::TextStyle* style = wizard_.textStyle(wizard_.defaultTextStyle()); style && style->size > 0) {
    QFont base = font();
    base.setPointSize(std::min(style->size, 72));
    setFont(base);
  }
  for (const Control& control : dialog.controls) {
    const WidgetFamily* family = widgetFamily(control.type);
    if (!family) continue;
    QWidget* w = family->create(control, this, context_);
    w->setObjectName(qs(control.name));
    QRect rect = toPixels(control.rect);
    // A combo's row height counts its dropped-down list; the closed box is one line high.
    if (qobject_cast<QComboBox*>(w)) rect.setHeight(std::min(rect.height(), w->sizeHint().height()));
    w->setGeometry(rect);
    if (!control.help.empty()) w->setToolTip(qs(control.help));
    if (auto* button = qobject_cast<QPushButton*>(w)) {
      button->setAutoDefault(false);
      button->setDefault(control.name == dialog.defaultControl);
    }
    widgets_[control.name] = w;
    refresh(control, w);
  }
  // Pictures are backgrounds: texts authored over a banner stay readable.
  for (const Control& control : dialog.controls)
    if (control.type == ControlType::Bitmap || control.type == ControlType::Billboard)
      if (QWidget* w = widget(control.name)) w->lower();
  // A text's access key focuses the control after it in the tab order.
  for (const Control& control : dialog.controls) {
    if (control.type != ControlType::Text || (control.attributes & dialogs::kTextNoPrefix)) continue;
    auto* label = qobject_cast<QLabel*>(widget(control.name));
    const Control* buddy = mnemonicBuddy(dialog, control);
    if (!label || !buddy || !widget(buddy->name)) continue;
    label->setBuddy(widget(buddy->name));
    refresh(control, label);
  }
  followTabOrder(dialog);
}

namespace {

// The widget that takes the focus for a control: itself, or the first of its parts that does
// (a radio group's buttons).
QWidget* focusTaker(QWidget* w) {
  if (w->focusPolicy() & Qt::TabFocus) return w;
  for (QWidget* part : w->findChildren<QWidget*>())
    if (part->focusPolicy() & Qt::TabFocus) return part;
  return nullptr;
}

}  // namespace

void DialogView::followTabOrder(const dialogs::Dialog& dialog) {
  std::vector<std::string> seen;
  for (std::string name = dialog.firstControl; !name.empty();) {
    if (std::find(seen.begin(), seen.end(), name) != seen.end()) break;  // back at the start
    seen.push_back(name);
    const Control* control = dialog.find(name);
    if (!control) break;
    if (QWidget* w = widget(name))
      if (QWidget* taker = focusTaker(w)) tabChain_.push_back(taker);
    name = control->next;
  }
  for (std::size_t i = 1; i < tabChain_.size(); ++i) setTabOrder(tabChain_[i - 1], tabChain_[i]);
}

QWidget* DialogView::focusFirst() {
  for (QWidget* w : tabChain_)
    if (w->isVisibleTo(this) && w->isEnabled()) {
      w->setFocus(Qt::TabFocusReason);
      return w;
    }
  return nullptr;
}

QWidget* DialogView::widget(const std::string& control) const {
  const auto it = widgets_.find(control);
  return it == widgets_.end() ? nullptr : it->second;
}

void DialogView::send(const UserInput& input) {
  if (live_ && sink_) sink_(input);
}

void DialogView::refresh(const Control& control, QWidget* w) {
  w->setHidden(!control.visible);
  // Pictures are authored without the Enabled bit; a disabled label would paint them grey.
  const bool picture = control.type == ControlType::Bitmap || control.type == ControlType::Icon;
  w->setEnabled(control.enabled || picture);
  if (const WidgetFamily* family = widgetFamily(control.type)) family->refresh(control, w, context_);
}

void DialogView::update(const dialogs::Dialog& dialog) {
  for (const Control& control : dialog.controls)
    if (QWidget* w = widget(control.name)) {
      refresh(control, w);
      // A Default condition may pick another button after an operation.
      if (auto* button = qobject_cast<QPushButton*>(w)) button->setDefault(control.name == dialog.defaultControl);
    }
}

std::vector<UserInput> DialogView::pendingEdits(const dialogs::Dialog& dialog) const {
  std::vector<UserInput> out;
  for (const Control& control : dialog.controls) {
    if (!control.visible || !control.enabled) continue;
    QWidget* w = widget(control.name);
    if (!w) continue;
    QString text;
    if (auto* edit = qobject_cast<QLineEdit*>(w)) text = typedText(*edit);
    else if (auto* plain = qobject_cast<QPlainTextEdit*>(w)) text = plain->toPlainText();
    else if (auto* combo = qobject_cast<QComboBox*>(w); combo && combo->isEditable() && combo->findText(combo->currentText()) < 0)
      text = combo->currentText();
    else continue;
    if (text == w->property(kShownValue).toString()) continue;
    UserInput input = makeInput(UserInput::Kind::SetValue, control.name);
    input.value = text.toStdString();
    out.push_back(std::move(input));
  }
  return out;
}

}  // namespace msi::qt
