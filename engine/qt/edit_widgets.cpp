// Edits (plain, path and masked) and scrollable rich text.
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>

#include "engine/qt/control_widgets.h"
#include "engine/qt/rtf_rich_text.h"

namespace msi::qt {
namespace {

using dialogs::Control;
using dialogs::ControlType;

QWidget* createEdit(const Control& control, QWidget* parent, const WidgetContext& context) {
  if (control.type == ControlType::ScrollableText) {
    auto* text = new QTextEdit(parent);
    text->setReadOnly(true);
    text->setAcceptRichText(false);
    return text;
  }
  if (control.multiline()) return new QPlainTextEdit(parent);
  auto* edit = new QLineEdit(parent);
  if (control.password()) edit->setEchoMode(QLineEdit::Password);
  if (control.maxLength > 0) edit->setMaxLength(control.maxLength);
  if (!control.mask.empty()) edit->setPlaceholderText(qs(control.mask));
  const std::string name = control.name;
  const auto send = context.send;
  QObject::connect(edit, &QLineEdit::editingFinished, edit, [send, name, edit] {
    if (edit->text() == edit->property(kShownValue).toString()) return;
    UserInput input = makeInput(UserInput::Kind::SetValue, name);
    input.value = edit->text().toStdString();
    send(input);
  });
  return edit;
}

void refreshEdit(const Control& control, QWidget* w, const WidgetContext&) {
  if (control.type == ControlType::ScrollableText) {
    auto* text = static_cast<QTextEdit*>(w);
    const QString source = qs(control.text);
    if (text->property(kShownValue).toString() != source || source.isEmpty()) {
      setRichText(*text->document(), control.text, text->font().family());
      text->setProperty(kShownValue, source);
    }
    return;
  }
  const QString value = qs(control.value);
  w->setProperty(kShownValue, value);
  if (auto* edit = qobject_cast<QLineEdit*>(w)) {
    if (edit->text() != value) edit->setText(value);
  } else if (auto* text = qobject_cast<QPlainTextEdit*>(w)) {
    if (text->toPlainText() != value) text->setPlainText(value);
  }
}

}  // namespace

const WidgetFamily kEditFamily{createEdit, refreshEdit};

}  // namespace msi::qt
