#include "engine/qt/control_widgets.h"

#include <algorithm>

#include <QImage>

namespace msi::qt {

using dialogs::ControlType;

const WidgetFamily* widgetFamily(ControlType type) {
  switch (type) {
    case ControlType::Text:
    case ControlType::HyperLink:
    case ControlType::GroupBox:
    case ControlType::Line:
    case ControlType::ProgressBar:
    case ControlType::Billboard: return &kTextFamily;
    case ControlType::Bitmap:
    case ControlType::Icon: return &kPictureFamily;
    case ControlType::PushButton:
    case ControlType::CheckBox:
    case ControlType::RadioButtonGroup: return &kButtonFamily;
    case ControlType::Edit:
    case ControlType::PathEdit:
    case ControlType::MaskedEdit:
    case ControlType::ScrollableText: return &kEditFamily;
    case ControlType::ComboBox:
    case ControlType::DirectoryCombo:
    case ControlType::VolumeSelectCombo:
    case ControlType::ListBox:
    case ControlType::ListView:
    case ControlType::DirectoryList:
    case ControlType::VolumeCostList: return &kListFamily;
    case ControlType::SelectionTree: return &kSelectionTreeFamily;
    case ControlType::Unknown: return nullptr;
  }
  return nullptr;
}

UserInput makeInput(UserInput::Kind kind, const std::string& control) {
  UserInput input;
  input.kind = kind;
  input.control = control;
  return input;
}

const dialogs::TextStyle* styleOf(const dialogs::Control& control, const dialogs::Wizard& wizard) {
  return wizard.textStyle(control.textStyle.empty() ? wizard.defaultTextStyle() : control.textStyle);
}

void applyStyle(QWidget* w, const dialogs::TextStyle* style) {
  if (!style) return;
  QFont f = w->font();
  if (!style->faceName.empty()) f.setFamilies({qs(style->faceName), f.family()});
  if (style->size > 0) f.setPointSize(std::min(style->size, 72));
  f.setBold(style->bold());
  f.setItalic(style->italic());
  f.setUnderline(style->underline());
  f.setStrikeOut(style->strike());
  w->setFont(f);
  if (style->color) {
    const std::uint32_t c = *style->color;  // 0x00BBGGRR
    QPalette p = w->palette();
    p.setColor(QPalette::WindowText, QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF));
    w->setPalette(p);
  }
}

QPixmap decodeImage(const Bytes& data) {
  QImage image;
  if (data.empty() || data.size() > 64u * 1024 * 1024) return {};
  if (!image.loadFromData(reinterpret_cast<const uchar*>(data.data()), static_cast<int>(data.size()))) return {};
  return QPixmap::fromImage(image);
}

}  // namespace msi::qt
