#include "engine/qt/control_widgets.h"
#include "engine/qt/selection_tree_widget.h"

namespace msi::qt {
namespace {

QWidget* create(const dialogs::Control& control, QWidget* parent, const WidgetContext& context) {
  return new SelectionTreeWidget(context.wizard, control, context.send, parent);
}

void refresh(const dialogs::Control& control, QWidget* w, const WidgetContext&) {
  static_cast<SelectionTreeWidget*>(w)->refresh(control);
}

}  // namespace

const WidgetFamily kSelectionTreeFamily{create, refresh};

}  // namespace msi::qt
