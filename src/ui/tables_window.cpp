#include "src/ui/tables_window.h"

#include <QHeaderView>

#include "src/ui/app_icon.h"
#include "src/ui/twips.h"

namespace fennick::ui {

TablesWindow::TablesWindow() {
  setObjectName("frmTables");
  setWindowTitle("Tables");
  setWindowIcon(AppIcon());
  resize(TwipsToPixels(11085), TwipsToPixels(6210));
  struct Layout {
    const char* name;
    int left, top, width, height;
    QStringList headers;
  };
  const Layout layout[] = {
      {"lvTable", 0, 120, 4575, 3135, {"Table"}},
      {"lvProperty", 4680, 120, 3135, 3135, {"Property", "Value"}},
      {"lvFeature", 7920, 120, 3135, 3135, {"Feature", "Level"}},
      {"lvUI", 0, 3360, 4575, 2775, {"Action", "Condition", "Sequence"}},
      {"lvPropertyChanged", 4680, 3360, 3135, 2775, {"Property", "Value"}},
      {"lvFeatureChanged", 7920, 3360, 3135, 2775, {"Feature", "Level"}},
  };
  for (const Layout& l : layout) {
    auto* view = new QTreeWidget(this);
    view->setObjectName(l.name);
    view->setGeometry(TwipsRect(l.left, l.top, l.width, l.height));
    view->setRootIsDecorated(false);
    view->setHeaderLabels(l.headers);
    view->header()->setDefaultAlignment(Qt::AlignLeft);
    for (int c = 0; c < l.headers.size(); ++c) view->setColumnWidth(c, TwipsToPixels(1440));
    views_[l.name] = view;
  }
}

QTreeWidget* TablesWindow::ListView(const std::string& name) const {
  auto it = views_.find(name);
  return it == views_.end() ? nullptr : it->second;
}

}  // namespace fennick::ui
