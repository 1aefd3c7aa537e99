// frmTables: the never-shown window that hosts the six working tables. It exists as the
// owner of the save dialog; nothing shows it.
#pragma once

#include <QTreeWidget>
#include <QWidget>
#include <map>
#include <string>

namespace fennick::ui {

class TablesWindow : public QWidget {
 public:
  TablesWindow();
  QTreeWidget* ListView(const std::string& name) const;

 private:
  std::map<std::string, QTreeWidget*> views_;
};

}  // namespace fennick::ui
