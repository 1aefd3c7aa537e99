// Combo boxes (plain, directory and volume), list boxes, list views, directory lists and the
// volume cost list.
#include <algorithm>

#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QTreeWidget>

#include "engine/qt/control_widgets.h"
#include "engine/qt/mnemonics.h"

namespace msi::qt {
namespace {

using dialogs::Control;
using dialogs::ControlType;

// Where a list keeps the values of the items it shows, to rebuild only when they change.
constexpr const char* kShownItems = "fennickItems";

QStringList valuesOf(const Control& control) {
  QStringList out;
  for (const auto& item : control.items) out << qs(item.value);
  return out;
}

QWidget* createCombo(const Control& control, QWidget* parent, const WidgetContext& context) {
  const std::string name = control.name;
  const auto send = context.send;
  auto* combo = new QComboBox(parent);
  const bool typed = control.type == ControlType::ComboBox && !control.comboListOnly();
  combo->setEditable(typed);
  QObject::connect(combo, &QComboBox::currentIndexChanged, combo, [send, name, combo](int index) {
    if (index < 0) return;
    UserInput input = makeInput(UserInput::Kind::Choose, name);
    input.value = combo->itemData(index).toString().toStdString();
    send(input);
  });
  if (typed)
    QObject::connect(combo->lineEdit(), &QLineEdit::editingFinished, combo, [send, name, combo] {
      const QString text = combo->currentText();
      if (text == combo->property(kShownValue).toString() || combo->findText(text) >= 0) return;
      UserInput input = makeInput(UserInput::Kind::SetValue, name);
      input.value = text.toStdString();
      send(input);
    });
  return combo;
}

void refreshCombo(const Control& control, QComboBox* combo) {
  const QSignalBlocker block(combo);
  const QStringList values = valuesOf(control);
  if (combo->property(kShownItems).toStringList() != values) {
    combo->clear();
    for (const auto& item : control.items) combo->addItem(labelText(item.text, true), qs(item.value));
    combo->setProperty(kShownItems, values);
  }
  const QString value = qs(control.value);
  const int index = combo->findData(value);
  combo->setCurrentIndex(index);
  if (index < 0 && combo->isEditable()) combo->setEditText(value);
  combo->setProperty(kShownValue, index < 0 ? value : combo->itemText(index));
}

QWidget* createList(const Control& control, QWidget* parent, const WidgetContext& context) {
  const std::string name = control.name;
  const auto send = context.send;
  auto* list = new QListWidget(parent);
  auto chosen = [send, name](QListWidgetItem* item) {
    if (!item) return;
    UserInput input = makeInput(UserInput::Kind::Choose, name);
    input.value = item->data(Qt::UserRole).toString().toStdString();
    send(input);
  };
  if (control.type == ControlType::DirectoryList)
    QObject::connect(list, &QListWidget::itemActivated, list, chosen);  // opening a folder
  else
    QObject::connect(list, &QListWidget::currentItemChanged, list,
                     [chosen](QListWidgetItem* item, QListWidgetItem*) { chosen(item); });
  return list;
}

void refreshList(const Control& control, QListWidget* list, const WidgetContext& context) {
  const QSignalBlocker block(list);
  const QStringList values = valuesOf(control);
  if (list->property(kShownItems).toStringList() != values) {
    list->clear();
    for (const auto& item : control.items) {
      auto* row = new QListWidgetItem(labelText(item.text.empty() ? item.value : item.text, true), list);
      row->setData(Qt::UserRole, qs(item.value));
      if (!item.image.empty())
        if (QPixmap icon = decodeImage(context.wizard.binary(item.image)); !icon.isNull()) row->setIcon(QIcon(icon));
    }
    list->setProperty(kShownItems, values);
  }
  if (control.type == ControlType::DirectoryList) return;
  const QString value = qs(control.value);
  for (int i = 0; i < list->count(); ++i)
    if (list->item(i)->data(Qt::UserRole).toString() == value) list->setCurrentRow(i);
}

void refreshCostList(const Control& control, QTreeWidget* list) {
  const int columns = static_cast<int>(std::min<std::size_t>(control.columnHeaders.size(), 16));
  list->setColumnCount(std::max(columns, 1));
  QStringList headers;
  for (int i = 0; i < columns; ++i) headers << labelText(control.columnHeaders[static_cast<std::size_t>(i)], false);
  list->setHeaderLabels(headers);
  for (int i = 0; i < columns && i < static_cast<int>(control.columnWidths.size()); ++i) {
    const int width = control.columnWidths[static_cast<std::size_t>(i)];
    list->setColumnHidden(i, width <= 0);
    // Column widths are pixels at 96 DPI, not installer units: the packages' own widths
    // ({120}{70}{70}{70}{70} in a list 330 units wide) fill their list that way.
    if (width > 0) list->setColumnWidth(i, std::min(width, 4000));
  }
  list->clear();
  for (const auto& item : control.items) {
    auto* row = new QTreeWidgetItem(list);
    for (int i = 0; i < columns && i < static_cast<int>(item.columns.size()); ++i)
      row->setText(i, qs(item.columns[static_cast<std::size_t>(i)]));
  }
}

QWidget* create(const Control& control, QWidget* parent, const WidgetContext& context) {
  switch (control.type) {
    case ControlType::ListBox:
    case ControlType::ListView:
    case ControlType::DirectoryList: return createList(control, parent, context);
    case ControlType::VolumeCostList: {
      auto* list = new QTreeWidget(parent);
      list->setRootIsDecorated(false);
      return list;
    }
    default: return createCombo(control, parent, context);
  }
}

void refresh(const Control& control, QWidget* w, const WidgetContext& context) {
  switch (control.type) {
    case ControlType::ListBox:
    case ControlType::ListView:
    case ControlType::DirectoryList: refreshList(control, static_cast<QListWidget*>(w), context); break;
    case ControlType::VolumeCostList: refreshCostList(control, static_cast<QTreeWidget*>(w)); break;
    default: refreshCombo(control, static_cast<QComboBox*>(w)); break;
  }
}

}  // namespace

const WidgetFamily kListFamily{create, refresh};

}  // namespace msi::qt
