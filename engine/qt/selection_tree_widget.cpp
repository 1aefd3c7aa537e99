#include "engine/qt/selection_tree_widget.h"

#include <algorithm>

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QTreeWidgetItemIterator>

#include "engine/dialogs/selection_tree.h"
#include "engine/qt/control_widgets.h"
#include "engine/qt/selection_menu.h"

namespace msi::qt {
namespace {

using dialogs::FeatureChoice;

constexpr int kFeatureRole = Qt::UserRole;
constexpr int kChoicesRole = Qt::UserRole + 1;
constexpr int kIconSize = 16;

// A small hard drive: grey case, dark slot, green light.
void drawDrive(QPainter& p, const QRect& r) {
  p.setPen(QColor(64, 64, 64));
  p.setBrush(QColor(192, 192, 192));
  p.drawRect(r.adjusted(0, 0, -1, -1));
  p.fillRect(QRect(r.left() + 2, r.top() + 2, r.width() - 4, 2), QColor(96, 96, 96));
  p.fillRect(QRect(r.right() - 3, r.bottom() - 2, 2, 2), QColor(0, 176, 0));
}

}  // namespace

QIcon SelectionTreeWidget::stateIcon(FeatureChoice state, bool partial) {
  QPixmap pixmap(kIconSize, kIconSize);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  if (partial) p.fillRect(pixmap.rect(), QColor(224, 224, 224));
  const QRect drive(1, 5, 14, 7);
  switch (state) {
    case FeatureChoice::Local:
    case FeatureChoice::AllLocal: drawDrive(p, drive); break;
    case FeatureChoice::Source:
    case FeatureChoice::AllSource:
      drawDrive(p, drive.translated(0, -3));
      p.setPen(QPen(QColor(0, 0, 160), 1));
      p.drawLine(8, 9, 8, 14);
      p.drawLine(3, 14, 13, 14);
      break;
    case FeatureChoice::Advertise: {
      drawDrive(p, drive);
      p.setPen(QColor(0, 0, 0));
      p.setBrush(QColor(255, 224, 0));
      p.drawEllipse(QRect(8, 0, 7, 7));
      QFont f = p.font();
      f.setPixelSize(7);
      f.setBold(true);
      p.setFont(f);
      p.drawText(QRect(8, 0, 7, 7), Qt::AlignCenter, QStringLiteral("1"));
      break;
    }
    case FeatureChoice::Absent:
      p.setRenderHint(QPainter::Antialiasing);
      p.setPen(QPen(QColor(208, 0, 0), 3, Qt::SolidLine, Qt::RoundCap));
      p.drawLine(4, 4, 12, 12);
      p.drawLine(12, 4, 4, 12);
      break;
  }
  p.end();
  return QIcon(pixmap);
}

SelectionTreeWidget::SelectionTreeWidget(const dialogs::Wizard& wizard, const dialogs::Control& control, Sink sink,
                                         QWidget* parent)
    : QTreeWidget(parent), wizard_(wizard), name_(control.name), sink_(std::move(sink)) {
  setColumnCount(1);
  setHeaderHidden(true);
  setIconSize(QSize(kIconSize, kIconSize));
  // Titles are shown whole; a long one makes the tree scroll sideways.
  setTextElideMode(Qt::ElideNone);
  header()->setStretchLastSection(false);
  header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  connect(this, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item, QTreeWidgetItem*) {
    if (!item) return;
    UserInput input = makeInput(UserInput::Kind::Choose, name_);
    input.value = item->data(0, kFeatureRole).toString().toStdString();
    if (sink_) sink_(input);
  });
}

void SelectionTreeWidget::refresh(const dialogs::Control& control) {
  const QSignalBlocker block(this);
  QStringList features;
  for (const auto& item : control.tree) features << qs(item.feature);
  if (features != shownFeatures_) {
    clear();
    std::vector<QTreeWidgetItem*> parents;  // by depth
    for (const auto& item : control.tree) {
      const std::size_t depth = std::min<std::size_t>(std::max(item.depth, 0), parents.size());
      parents.resize(depth);
      auto* node = depth == 0 ? new QTreeWidgetItem(this) : new QTreeWidgetItem(parents.back());
      node->setText(0, qs(item.title.empty() ? item.feature : item.title));
      node->setData(0, kFeatureRole, qs(item.feature));
      if (!item.description.empty()) node->setToolTip(0, qs(item.description));
      parents.push_back(node);
    }
    shownFeatures_ = features;
  }
  // States, their menus, expansion and the highlight follow the wizard.
  QTreeWidgetItemIterator it(this);
  for (std::size_t i = 0; *it && i < control.tree.size(); ++it, ++i) {
    const auto& item = control.tree[i];
    if (i == 0 || item.expanded) (*it)->setExpanded(true);
    // An installed feature some of whose subfeatures are left out is drawn as partly chosen.
    bool partial = false;
    if (item.state != InstallState::Absent)
      for (std::size_t j = i + 1; j < control.tree.size() && control.tree[j].depth > item.depth; ++j)
        partial = partial || control.tree[j].state == InstallState::Absent;
    (*it)->setIcon(0, stateIcon(dialogs::featureChoiceOf(item.state), partial));
    QVariantList choices;
    for (FeatureChoice c : dialogs::treeChoices(item)) choices << static_cast<int>(c);
    (*it)->setData(0, kChoicesRole, choices);
    if (item.feature == control.highlightedFeature) setCurrentItem(*it);
  }
}

QMenu* SelectionTreeWidget::menuFor(const QString& feature) {
  QTreeWidgetItem* found = nullptr;
  for (QTreeWidgetItemIterator it(this); *it && !found; ++it)
    if ((*it)->data(0, kFeatureRole).toString() == feature) found = *it;
  if (!found) return nullptr;
  auto* menu = new QMenu(this);
  menu->setObjectName(feature);
  const std::string featureName = feature.toStdString();
  for (const QVariant& v : found->data(0, kChoicesRole).toList()) {
    const auto choice = static_cast<FeatureChoice>(v.toInt());
    QAction* action = menu->addAction(stateIcon(choice), choiceLabel(wizard_, choice));
    action->setObjectName(qs(std::string(dialogs::featureChoiceName(choice))));
    connect(action, &QAction::triggered, this, [this, featureName, choice] {
      UserInput input = makeInput(UserInput::Kind::FeatureState, featureName);
      input.state = choice;
      if (sink_) sink_(input);
    });
  }
  return menu;
}

void SelectionTreeWidget::popUp(QTreeWidgetItem* item, const QPoint& globalPos) {
  if (!item) return;
  QMenu* menu = menuFor(item->data(0, kFeatureRole).toString());
  if (!menu) return;
  menu->setAttribute(Qt::WA_DeleteOnClose);
  menu->popup(globalPos);
}

void SelectionTreeWidget::mousePressEvent(QMouseEvent* event) {
  QTreeWidget::mousePressEvent(event);
  QTreeWidgetItem* item = itemAt(event->position().toPoint());
  if (!item || event->button() != Qt::LeftButton) return;
  // The state icon sits at the start of the item's text cell.
  const QRect cell = visualItemRect(item);
  const int indent = indentation() * [&] {
    int depth = 0;
    for (QTreeWidgetItem* p = item->parent(); p; p = p->parent()) ++depth;
    return depth + (rootIsDecorated() ? 1 : 0);
  }();
  const QRect icon(cell.left() + indent, cell.top(), kIconSize + 6, cell.height());
  if (icon.contains(event->position().toPoint()))
    popUp(item, viewport()->mapToGlobal(QPoint(icon.left(), cell.bottom())));
}

void SelectionTreeWidget::keyPressEvent(QKeyEvent* event) {
  if ((event->key() == Qt::Key_Space || event->key() == Qt::Key_Menu) && currentItem()) {
    const QRect cell = visualItemRect(currentItem());
    popUp(currentItem(), viewport()->mapToGlobal(cell.bottomLeft()));
    return;
  }
  QTreeWidget::keyPressEvent(event);
}

void SelectionTreeWidget::contextMenuEvent(QContextMenuEvent* event) {
  QTreeWidgetItem* item = event->reason() == QContextMenuEvent::Mouse ? itemAt(event->pos()) : currentItem();
  popUp(item, event->globalPos());
}

}  // namespace msi::qt
