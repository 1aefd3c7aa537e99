#include "engine/qt/dialog_view.h"

#include <algorithm>

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTextEdit>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

#include "engine/qt/mnemonics.h"
#include "engine/qt/rtf_rich_text.h"
#include "engine/qt/selection_menu.h"
#include "engine/qt/unit_scale.h"

namespace msi::qt {
namespace {

using dialogs::Control;
using dialogs::ControlType;
using dialogs::FeatureChoice;

// Where a widget keeps the property value it last showed, to tell typing from refreshes.
constexpr const char* kShownValue = "fennickShownValue";

QString qs(const std::string& s) { return QString::fromStdString(s); }

UserInput makeInput(UserInput::Kind kind, const std::string& control) {
  UserInput input;
  input.kind = kind;
  input.control = control;
  return input;
}

// The choices a selection tree item offers, in menu order.
std::vector<FeatureChoice> choicesOf(const dialogs::TreeItem& item) {
  std::vector<FeatureChoice> out{FeatureChoice::Local, FeatureChoice::Source};
  if (item.allowAdvertise) out.push_back(FeatureChoice::Advertise);
  if (item.allowAbsent) out.push_back(FeatureChoice::Absent);
  return out;
}

FeatureChoice choiceOf(InstallState state) {
  switch (state) {
    case InstallState::Local: return FeatureChoice::Local;
    case InstallState::Source: return FeatureChoice::Source;
    case InstallState::Advertised: return FeatureChoice::Advertise;
    default: return FeatureChoice::Absent;
  }
}

std::vector<std::string> valuesOf(const Control& control) {
  std::vector<std::string> out;
  out.reserve(control.items.size());
  for (const auto& item : control.items) out.push_back(item.value);
  return out;
}

std::vector<std::string> featuresOf(const Control& control) {
  std::vector<std::string> out;
  out.reserve(control.tree.size());
  for (const auto& item : control.tree) out.push_back(item.feature);
  return out;
}

bool sameValues(const QVariant& stored, const std::vector<std::string>& values) {
  const QStringList list = stored.toStringList();
  if (list.size() != static_cast<qsizetype>(values.size())) return false;
  for (std::size_t i = 0; i < values.size(); ++i)
    if (list[static_cast<qsizetype>(i)] != qs(values[i])) return false;
  return true;
}

QStringList toList(const std::vector<std::string>& values) {
  QStringList out;
  for (const auto& v : values) out << qs(v);
  return out;
}

}  // namespace

DialogView::DialogView(const dialogs::Wizard& wizard, const dialogs::Dialog& dialog, Sink sink, QWidget* parent)
    : QWidget(parent), wizard_(wizard), sink_(std::move(sink)) {
  setObjectName(qs(dialog.name));
  resize(unitsToPixelsX(std::max(dialog.width, 0)), unitsToPixelsY(std::max(dialog.height, 0)));
  // The default style sets the dialog's base font, so controls without a style match it.
  if (const dialogs::TextStyle* style = wizard_.textStyle(wizard_.defaultTextStyle()); style && style->size > 0) {
    QFont base = font();
    base.setPointSize(std::min(style->size, 72));
    setFont(base);
  }
  for (const Control& control : dialog.controls) {
    QWidget* w = create(control);
    if (!w) continue;
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
}

QWidget* DialogView::widget(const std::string& control) const {
  const auto it = widgets_.find(control);
  return it == widgets_.end() ? nullptr : it->second;
}

void DialogView::send(const UserInput& input) {
  if (live_ && sink_) sink_(input);
}

namespace {

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

}  // namespace

QWidget* DialogView::create(const Control& control) {
  const std::string name = control.name;
  switch (control.type) {
    case ControlType::Text:
    case ControlType::HyperLink: {
      auto* label = new QLabel(this);
      label->setWordWrap((control.attributes & dialogs::kTextNoWrap) == 0);
      label->setAlignment(((control.attributes & dialogs::kControlRightAligned) ? Qt::AlignRight : Qt::AlignLeft) |
                          Qt::AlignTop);
      label->setTextFormat(Qt::PlainText);
      if (control.sunken()) label->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
      return label;
    }
    case ControlType::PushButton: {
      auto* button = new QPushButton(this);
      connect(button, &QPushButton::clicked, this, [this, name] { send(makeInput(UserInput::Kind::Press, name)); });
      return button;
    }
    case ControlType::CheckBox: {
      auto* box = new QCheckBox(this);
      connect(box, &QCheckBox::clicked, this, [this, name](bool on) {
        UserInput input = makeInput(UserInput::Kind::SetChecked, name);
        input.checked = on;
        send(input);
      });
      return box;
    }
    case ControlType::RadioButtonGroup: {
      QWidget* group;
      if (control.attributes & dialogs::kRadioHasBorder) {
        group = new QGroupBox(this);
      } else {
        group = new QWidget(this);
      }
      auto* buttons = new QButtonGroup(group);
      for (const auto& item : control.items) {
        auto* radio = new QRadioButton(mnemonicText(item.text, false), group);
        radio->setObjectName(qs(item.value));
        radio->setGeometry(toPixels(item.rect));
        if (!item.help.empty()) radio->setToolTip(qs(item.help));
        buttons->addButton(radio);
        const std::string value = item.value;
        connect(radio, &QRadioButton::clicked, this, [this, name, value] {
          UserInput input = makeInput(UserInput::Kind::Choose, name);
          input.value = value;
          send(input);
        });
      }
      return group;
    }
    case ControlType::Edit:
    case ControlType::PathEdit:
    case ControlType::MaskedEdit: {
      if (control.multiline()) return new QPlainTextEdit(this);
      auto* edit = new QLineEdit(this);
      if (control.password()) edit->setEchoMode(QLineEdit::Password);
      if (control.maxLength > 0) edit->setMaxLength(control.maxLength);
      if (!control.mask.empty()) edit->setPlaceholderText(qs(control.mask));
      connect(edit, &QLineEdit::editingFinished, this, [this, name, edit] {
        if (edit->text() == edit->property(kShownValue).toString()) return;
        UserInput input = makeInput(UserInput::Kind::SetValue, name);
        input.value = edit->text().toStdString();
        send(input);
      });
      return edit;
    }
    case ControlType::ComboBox:
    case ControlType::DirectoryCombo:
    case ControlType::VolumeSelectCombo: {
      auto* combo = new QComboBox(this);
      const bool typed = control.type == ControlType::ComboBox && !control.comboListOnly();
      combo->setEditable(typed);
      connect(combo, &QComboBox::currentIndexChanged, this, [this, name, combo](int index) {
        if (index < 0) return;
        UserInput input = makeInput(UserInput::Kind::Choose, name);
        input.value = combo->itemData(index).toString().toStdString();
        send(input);
      });
      if (typed)
        connect(combo->lineEdit(), &QLineEdit::editingFinished, this, [this, name, combo] {
          const QString text = combo->currentText();
          if (text == combo->property(kShownValue).toString() || combo->findText(text) >= 0) return;
          UserInput input = makeInput(UserInput::Kind::SetValue, name);
          input.value = text.toStdString();
          send(input);
        });
      return combo;
    }
    case ControlType::ListBox:
    case ControlType::ListView:
    case ControlType::DirectoryList: {
      auto* list = new QListWidget(this);
      auto chosen = [this, name](QListWidgetItem* item) {
        if (!item) return;
        UserInput input = makeInput(UserInput::Kind::Choose, name);
        input.value = item->data(Qt::UserRole).toString().toStdString();
        send(input);
      };
      if (control.type == ControlType::DirectoryList)
        connect(list, &QListWidget::itemActivated, this, chosen);  // opening a folder
      else
        connect(list, &QListWidget::currentItemChanged, this, [chosen](QListWidgetItem* item, QListWidgetItem*) {
          chosen(item);
        });
      return list;
    }
    case ControlType::SelectionTree: {
      auto* tree = new QTreeWidget(this);
      tree->setColumnCount(2);
      tree->setHeaderHidden(true);
      tree->header()->setStretchLastSection(true);
      tree->setColumnWidth(0, toPixels(control.rect).width() * 11 / 20);
      connect(tree, &QTreeWidget::currentItemChanged, this, [this, name](QTreeWidgetItem* item, QTreeWidgetItem*) {
        if (!item) return;
        UserInput input = makeInput(UserInput::Kind::Choose, name);
        input.value = item->data(0, Qt::UserRole).toString().toStdString();
        send(input);
      });
      return tree;
    }
    case ControlType::VolumeCostList: {
      auto* list = new QTreeWidget(this);
      list->setRootIsDecorated(false);
      return list;
    }
    case ControlType::ScrollableText: {
      auto* text = new QTextEdit(this);
      text->setReadOnly(true);
      text->setAcceptRichText(false);
      return text;
    }
    case ControlType::Bitmap:
    case ControlType::Icon: {
      auto* picture = new QLabel(this);
      picture->setScaledContents(true);
      return picture;
    }
    case ControlType::Line: {
      auto* line = new QFrame(this);
      line->setFrameStyle(QFrame::HLine | QFrame::Sunken);
      return line;
    }
    case ControlType::GroupBox: return new QGroupBox(this);
    case ControlType::ProgressBar: {
      auto* bar = new QProgressBar(this);
      bar->setRange(0, 100);
      bar->setTextVisible(false);
      return bar;
    }
    case ControlType::Billboard: return new QFrame(this);
    case ControlType::Unknown: return nullptr;
  }
  return nullptr;
}

void DialogView::refresh(const Control& control, QWidget* w) {
  w->setHidden(!control.visible);
  // Pictures are authored without the Enabled bit; a disabled label would paint them grey.
  const bool picture = control.type == ControlType::Bitmap || control.type == ControlType::Icon;
  w->setEnabled(control.enabled || picture);
  const bool noPrefix = (control.attributes & dialogs::kTextNoPrefix) != 0;
  const std::string styleName = control.textStyle.empty() ? wizard_.defaultTextStyle() : control.textStyle;
  const dialogs::TextStyle* style = wizard_.textStyle(styleName);
  const QString value = qs(control.value);
  switch (control.type) {
    case ControlType::Text:
    case ControlType::HyperLink: {
      auto* label = static_cast<QLabel*>(w);
      applyStyle(label, style);
      // With a buddy Qt reads the access key (and `&&`); without one there is nothing to press.
      label->setText(label->buddy() && !noPrefix ? mnemonicText(control.text, false) : labelText(control.text, noPrefix));
      break;
    }
    case ControlType::PushButton: {
      auto* button = static_cast<QPushButton*>(w);
      const bool picture = (control.attributes & (dialogs::kButtonBitmap | dialogs::kButtonIcon)) != 0;
      QPixmap image = picture ? decodeImage(wizard_.binary(control.image)) : QPixmap();
      if (!image.isNull()) {
        button->setIcon(QIcon(image));
        button->setIconSize(toPixels(control.rect).size() - QSize(6, 6));
        button->setText({});
      } else {
        applyStyle(button, style);
        button->setText(qs(control.text));
      }
      break;
    }
    case ControlType::CheckBox: {
      auto* box = static_cast<QCheckBox*>(w);
      applyStyle(box, style);
      box->setText(qs(control.text));
      const QSignalBlocker block(box);
      box->setChecked(control.checked);
      break;
    }
    case ControlType::RadioButtonGroup: {
      if (auto* group = qobject_cast<QGroupBox*>(w)) group->setTitle(mnemonicText(control.text, noPrefix));
      for (QRadioButton* radio : w->findChildren<QRadioButton*>()) {
        const QSignalBlocker block(radio);
        // Exclusive groups refuse to uncheck their checked button directly.
        if (radio->objectName() == value) radio->setChecked(true);
        else if (radio->group()) {
          radio->group()->setExclusive(false);
          radio->setChecked(false);
          radio->group()->setExclusive(true);
        }
      }
      break;
    }
    case ControlType::Edit:
    case ControlType::PathEdit:
    case ControlType::MaskedEdit: {
      w->setProperty(kShownValue, value);
      if (auto* edit = qobject_cast<QLineEdit*>(w)) {
        if (edit->text() != value) edit->setText(value);
      } else if (auto* text = qobject_cast<QPlainTextEdit*>(w)) {
        if (text->toPlainText() != value) text->setPlainText(value);
      }
      break;
    }
    case ControlType::ComboBox:
    case ControlType::DirectoryCombo:
    case ControlType::VolumeSelectCombo: {
      auto* combo = static_cast<QComboBox*>(w);
      const QSignalBlocker block(combo);
      const std::vector<std::string> values = valuesOf(control);
      if (!sameValues(combo->property("fennickItems"), values)) {
        combo->clear();
        for (const auto& item : control.items) combo->addItem(labelText(item.text, true), qs(item.value));
        combo->setProperty("fennickItems", toList(values));
      }
      const int index = combo->findData(value);
      combo->setCurrentIndex(index);
      if (index < 0 && combo->isEditable()) combo->setEditText(value);
      combo->setProperty(kShownValue, index < 0 ? value : combo->itemText(index));
      break;
    }
    case ControlType::ListBox:
    case ControlType::ListView:
    case ControlType::DirectoryList: {
      auto* list = static_cast<QListWidget*>(w);
      const QSignalBlocker block(list);
      const std::vector<std::string> values = valuesOf(control);
      if (!sameValues(list->property("fennickItems"), values)) {
        list->clear();
        for (const auto& item : control.items) {
          auto* row = new QListWidgetItem(labelText(item.text.empty() ? item.value : item.text, true), list);
          row->setData(Qt::UserRole, qs(item.value));
          if (!item.image.empty())
            if (QPixmap icon = decodeImage(wizard_.binary(item.image)); !icon.isNull()) row->setIcon(QIcon(icon));
        }
        list->setProperty("fennickItems", toList(values));
      }
      if (control.type != ControlType::DirectoryList)
        for (int i = 0; i < list->count(); ++i)
          if (list->item(i)->data(Qt::UserRole).toString() == value) list->setCurrentRow(i);
      break;
    }
    case ControlType::SelectionTree: {
      auto* tree = static_cast<QTreeWidget*>(w);
      const QSignalBlocker block(tree);
      const std::vector<std::string> features = featuresOf(control);
      if (treeFeatures_[control.name] != features) {
        tree->clear();
        std::vector<QTreeWidgetItem*> parents;  // by depth
        for (const auto& item : control.tree) {
          const std::size_t depth = std::min<std::size_t>(std::max(item.depth, 0), parents.size());
          parents.resize(depth);
          auto* node = depth == 0 ? new QTreeWidgetItem(tree) : new QTreeWidgetItem(parents.back());
          node->setText(0, qs(item.title.empty() ? item.feature : item.title));
          node->setData(0, Qt::UserRole, qs(item.feature));
          if (!item.description.empty()) node->setToolTip(0, qs(item.description));
          parents.push_back(node);
          auto* box = new QComboBox;
          box->setObjectName(qs(item.feature));
          const std::vector<FeatureChoice> choices = choicesOf(item);
          for (FeatureChoice c : choices) box->addItem(choiceLabel(wizard_, c), static_cast<int>(c));
          const std::string feature = item.feature;
          connect(box, &QComboBox::currentIndexChanged, this, [this, box, feature](int index) {
            if (index < 0) return;
            UserInput input = makeInput(UserInput::Kind::FeatureState, feature);
            input.state = static_cast<FeatureChoice>(box->itemData(index).toInt());
            send(input);
          });
          tree->setItemWidget(node, 1, box);
        }
        treeFeatures_[control.name] = features;
      }
      // States, expansion and the highlight follow the wizard.
      QTreeWidgetItemIterator it(tree);
      for (std::size_t i = 0; *it && i < control.tree.size(); ++it, ++i) {
        const auto& item = control.tree[i];
        if (i == 0 || item.expanded) (*it)->setExpanded(true);
        if (auto* box = qobject_cast<QComboBox*>(tree->itemWidget(*it, 1))) {
          const QSignalBlocker blockBox(box);
          box->setCurrentIndex(box->findData(static_cast<int>(choiceOf(item.state))));
        }
        if (item.feature == control.highlightedFeature) tree->setCurrentItem(*it);
      }
      break;
    }
    case ControlType::VolumeCostList: {
      auto* list = static_cast<QTreeWidget*>(w);
      const int columns = static_cast<int>(std::min<std::size_t>(control.columnHeaders.size(), 16));
      list->setColumnCount(std::max(columns, 1));
      QStringList headers;
      for (int i = 0; i < columns; ++i) headers << labelText(control.columnHeaders[static_cast<std::size_t>(i)], false);
      list->setHeaderLabels(headers);
      for (int i = 0; i < columns && i < static_cast<int>(control.columnWidths.size()); ++i) {
        const int width = control.columnWidths[static_cast<std::size_t>(i)];
        list->setColumnHidden(i, width <= 0);
        if (width > 0) list->setColumnWidth(i, unitsToPixelsX(std::min(width, 4000)));
      }
      list->clear();
      for (const auto& item : control.items) {
        auto* row = new QTreeWidgetItem(list);
        for (int i = 0; i < columns && i < static_cast<int>(item.columns.size()); ++i)
          row->setText(i, qs(item.columns[static_cast<std::size_t>(i)]));
      }
      break;
    }
    case ControlType::ScrollableText: {
      auto* text = static_cast<QTextEdit*>(w);
      const QString source = qs(control.text);
      if (text->property(kShownValue).toString() != source || source.isEmpty()) {
        setRichText(*text->document(), control.text, text->font().family());
        text->setProperty(kShownValue, source);
      }
      break;
    }
    case ControlType::Bitmap:
    case ControlType::Icon: {
      auto* picture = static_cast<QLabel*>(w);
      if (picture->pixmap().isNull()) {
        const std::string key = control.image.empty() ? control.text : control.image;
        QPixmap image = decodeImage(wizard_.binary(key));
        if (!image.isNull()) picture->setPixmap(image);
      }
      break;
    }
    case ControlType::Line: {
      // A line row is often 0 units high; its frame still needs its two pixels.
      QRect r = w->geometry();
      if (r.height() < 2) w->setGeometry(r.x(), r.y(), r.width(), 2);
      break;
    }
    case ControlType::GroupBox:
      applyStyle(w, style);
      static_cast<QGroupBox*>(w)->setTitle(mnemonicText(control.text, noPrefix));
      break;
    case ControlType::ProgressBar:
      static_cast<QProgressBar*>(w)->setValue(std::clamp(control.progress, 0, 100));
      break;
    case ControlType::Billboard:
    case ControlType::Unknown: break;
  }
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
    if (auto* edit = qobject_cast<QLineEdit*>(w)) text = edit->text();
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
