// The host of an interactive run: real windows drawn with Qt.
#pragma once

#include <QMessageBox>
#include <functional>
#include <memory>

#include "src/ui/host.h"
#include "src/ui/progress_window.h"
#include "src/ui/tables_window.h"

namespace fennick::ui {

// A message box as the tool shows it: one OK button, no icon or the critical-stop icon.
std::unique_ptr<QMessageBox> MakeMessageBox(std::string_view text, BoxStyle style, std::string_view title);

class QtHost : public Host {
 public:
  QtHost();
  ~QtHost() override;
  void MessageBox(std::string_view text, BoxStyle style, std::string_view title) override;
  void Pump() override;
  void LoadTablesWindow() override;
  void UnloadTablesWindow() override;
  void ShowProgress() override;
  void SetProgressRange(float min, float max) override;
  void SetProgressValue(float value) override;
  void RefreshProgress() override;
  void UnloadProgress() override;
  std::string PromptSaveTransform() override;

  TablesWindow* Tables() const { return tables_.get(); }
  // Told the answer of the save prompt ("" when cancelled), for a recorded walk.
  std::function<void(const std::string&)> onSaveAnswered;
  ProgressWindow* Progress() const { return progress_.get(); }

 private:
  std::unique_ptr<TablesWindow> tables_;
  std::unique_ptr<ProgressWindow> progress_;
};

}  // namespace fennick::ui
