// The selection tree's widget: the package's features under their parents, each with an icon
// for its state and its full title. Clicking the icon, the context menu key or Space opens the
// feature's menu, which offers exactly the choices the feature allows (treeChoices) in the
// package's own UIText words, each with the icon of the state it leads to.
#pragma once

#include <functional>
#include <string>

#include <QIcon>
#include <QMenu>
#include <QTreeWidget>

#include "engine/dialogs/dialog_model.h"
#include "engine/dialogs/wizard.h"
#include "engine/qt/user_input.h"

namespace msi::qt {

class SelectionTreeWidget : public QTreeWidget {
 public:
  using Sink = std::function<void(const UserInput&)>;
  SelectionTreeWidget(const dialogs::Wizard& wizard, const dialogs::Control& control, Sink sink, QWidget* parent);

  // Takes the tree's live state: its features (rebuilt when they change), states, highlight.
  void refresh(const dialogs::Control& control);

  // The menu of a listed feature, not yet shown (the caller owns it); nullptr when the tree
  // does not list the feature. Triggering one of its actions sends the choice.
  QMenu* menuFor(const QString& feature);

  // The icon of a state as the tree draws it; `partial` for a feature some of whose
  // subfeatures will not be installed as it is.
  static QIcon stateIcon(dialogs::FeatureChoice state, bool partial = false);

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  void popUp(QTreeWidgetItem* item, const QPoint& globalPos);

  const dialogs::Wizard& wizard_;
  std::string name_;
  Sink sink_;
  QStringList shownFeatures_;
};

}  // namespace msi::qt
