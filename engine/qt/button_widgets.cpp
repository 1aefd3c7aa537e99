// Push buttons, check boxes and radio button groups.
#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>

#include "engine/qt/control_widgets.h"
#include "engine/qt/mnemonics.h"
#include "engine/qt/unit_scale.h"

namespace msi::qt {
namespace {

using dialogs::Control;
using dialogs::ControlType;

QWidget* createButton(const Control& control, QWidget* parent, const WidgetContext& context) {
  const std::string name = control.name;
  const auto send = context.send;
  switch (control.type) {
    case ControlType::PushButton: {
      auto* button = new QPushButton(parent);
      QObject::connect(button, &QPushButton::clicked, button,
                       [send, name] { send(makeInput(UserInput::Kind::Press, name)); });
      return button;
    }
    case ControlType::CheckBox: {
      auto* box = new QCheckBox(parent);
      QObject::connect(box, &QCheckBox::clicked, box, [send, name](bool on) {
        UserInput input = makeInput(UserInput::Kind::SetChecked, name);
        input.checked = on;
        send(input);
      });
      return box;
    }
    default: {  // RadioButtonGroup
      QWidget* group = (control.attributes & dialogs::kRadioHasBorder) ? new QGroupBox(parent) : new QWidget(parent);
      auto* buttons = new QButtonGroup(group);
      for (const auto& item : control.items) {
        auto* radio = new QRadioButton(mnemonicText(item.text, false), group);
        radio->setObjectName(qs(item.value));
        radio->setGeometry(toPixels(item.rect));
        if (!item.help.empty()) radio->setToolTip(qs(item.help));
        buttons->addButton(radio);
        const std::string value = item.value;
        QObject::connect(radio, &QRadioButton::clicked, radio, [send, name, value] {
          UserInput input = makeInput(UserInput::Kind::Choose, name);
          input.value = value;
          send(input);
        });
      }
      return group;
    }
  }
}

void refreshButton(const Control& control, QWidget* w, const WidgetContext& context) {
  const bool noPrefix = (control.attributes & dialogs::kTextNoPrefix) != 0;
  switch (control.type) {
    case ControlType::PushButton: {
      auto* button = static_cast<QPushButton*>(w);
      const bool picture = (control.attributes & (dialogs::kButtonBitmap | dialogs::kButtonIcon)) != 0;
      QPixmap image = picture ? decodeImage(context.wizard.binary(control.image)) : QPixmap();
      if (!image.isNull()) {
        button->setIcon(QIcon(image));
        button->setIconSize(toPixels(control.rect).size() - QSize(6, 6));
        button->setText({});
      } else {
        applyStyle(button, styleOf(control, context.wizard));
        button->setText(qs(control.text));
      }
      break;
    }
    case ControlType::CheckBox: {
      auto* box = static_cast<QCheckBox*>(w);
      applyStyle(box, styleOf(control, context.wizard));
      box->setText(qs(control.text));
      const QSignalBlocker block(box);
      box->setChecked(control.checked);
      break;
    }
    default: {  // RadioButtonGroup
      if (auto* group = qobject_cast<QGroupBox*>(w)) group->setTitle(mnemonicText(control.text, noPrefix));
      const QString value = qs(control.value);
      for (QRadioButton* radio : w->findChildren<QRadioButton*>()) {
        const QSignalBlocker block(radio);
        // Exclusive groups refuse to uncheck their checked button directly.
        if (radio->objectName() == value) {
          radio->setChecked(true);
        } else if (radio->group()) {
          radio->group()->setExclusive(false);
          radio->setChecked(false);
          radio->group()->setExclusive(true);
        }
      }
      break;
    }
  }
}

}  // namespace

const WidgetFamily kButtonFamily{createButton, refreshButton};

}  // namespace msi::qt
