// The selection tree: the package's features under their parents, each with its state.
#include <algorithm>

#include <QComboBox>
#include <QHeaderView>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

#include "engine/qt/control_widgets.h"
#include "engine/qt/selection_menu.h"
#include "engine/qt/unit_scale.h"

namespace msi::qt {
namespace {

using dialogs::Control;
using dialogs::FeatureChoice;

// Where the tree keeps the features it was built with, to rebuild only when they change.
constexpr const char* kShownFeatures = "fennickFeatures";

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

QWidget* create(const Control& control, QWidget* parent, const WidgetContext& context) {
  auto* tree = new QTreeWidget(parent);
  tree->setColumnCount(2);
  tree->setHeaderHidden(true);
  tree->header()->setStretchLastSection(true);
  tree->setColumnWidth(0, toPixels(control.rect).width() * 11 / 20);
  const std::string name = control.name;
  const auto send = context.send;
  QObject::connect(tree, &QTreeWidget::currentItemChanged, tree, [send, name](QTreeWidgetItem* item, QTreeWidgetItem*) {
    if (!item) return;
    UserInput input = makeInput(UserInput::Kind::Choose, name);
    input.value = item->data(0, Qt::UserRole).toString().toStdString();
    send(input);
  });
  return tree;
}

void refresh(const Control& control, QWidget* w, const WidgetContext& context) {
  auto* tree = static_cast<QTreeWidget*>(w);
  const QSignalBlocker block(tree);
  QStringList features;
  for (const auto& item : control.tree) features << qs(item.feature);
  if (tree->property(kShownFeatures).toStringList() != features) {
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
      for (FeatureChoice c : choicesOf(item)) box->addItem(choiceLabel(context.wizard, c), static_cast<int>(c));
      const std::string feature = item.feature;
      const auto send = context.send;
      QObject::connect(box, &QComboBox::currentIndexChanged, box, [send, box, feature](int index) {
        if (index < 0) return;
        UserInput input = makeInput(UserInput::Kind::FeatureState, feature);
        input.state = static_cast<FeatureChoice>(box->itemData(index).toInt());
        send(input);
      });
      tree->setItemWidget(node, 1, box);
    }
    tree->setProperty(kShownFeatures, features);
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
}

}  // namespace

const WidgetFamily kSelectionTreeFamily{create, refresh};

}  // namespace msi::qt
