// Edits (plain, path and masked) and scrollable rich text.
#include <algorithm>

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>

#include "engine/dialogs/mask_template.h"
#include "engine/qt/control_widgets.h"
#include "engine/qt/rtf_rich_text.h"

namespace msi::qt {
namespace {

using dialogs::Control;
using dialogs::ControlType;
using dialogs::MaskTemplate;

// A MaskedEdit template as a Qt input mask: a required digit or letter a place, literals
// escaped, `_` for a place not yet typed.
QString inputMaskOf(const MaskTemplate& mask) {
  QString out;
  for (const MaskTemplate::Place& place : mask.places()) {
    switch (place.kind) {
      case MaskTemplate::Kind::Digit: out += QLatin1Char('9'); break;
      case MaskTemplate::Kind::Letter: out += QLatin1Char('A'); break;
      case MaskTemplate::Kind::Literal: out += QLatin1Char('\\') + QString::fromLatin1(&place.literal, 1); break;
    }
  }
  return out + QStringLiteral(";_");
}

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
  if (control.type == ControlType::MaskedEdit)
    if (const MaskTemplate mask = MaskTemplate::parse(control.mask); !mask.empty()) {
      edit->setInputMask(inputMaskOf(mask));
      edit->setProperty(kMaskTemplate, qs(control.mask));
    }
  const std::string name = control.name;
  const auto send = context.send;
  QObject::connect(edit, &QLineEdit::editingFinished, edit, [send, name, edit] {
    const QString text = typedText(*edit);
    if (text == edit->property(kShownValue).toString()) return;
    UserInput input = makeInput(UserInput::Kind::SetValue, name);
    input.value = text.toStdString();
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

QString typedText(const QLineEdit& edit) {
  if (edit.inputMask().isEmpty()) return edit.text();
  // A masked edit shows its literals from the start: with no place typed it holds nothing.
  const MaskTemplate mask = MaskTemplate::parse(edit.property(kMaskTemplate).toString().toStdString());
  const QString text = edit.text();
  for (const QChar c : text) {
    const bool literal = std::any_of(mask.places().begin(), mask.places().end(), [c](const MaskTemplate::Place& p) {
      return p.kind == MaskTemplate::Kind::Literal && QLatin1Char(p.literal) == c;
    });
    if (!literal) return text;
  }
  return {};
}

const WidgetFamily kEditFamily{createEdit, refreshEdit};

}  // namespace msi::qt
