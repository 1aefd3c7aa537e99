// The host of a run without windows: message boxes go to standard error as
// "fennick: <title>: <text>" (the title left out when it is the program's own) and are
// answered with OK; windows exist only as state.
#pragma once

#include <memory>
#include <ostream>

#include "src/installer/dialog_host.h"
#include "src/ui/host.h"

namespace fennick::ui {

class HeadlessHost : public Host {
 public:
  // Answers the save prompt from `dialogs` (may be null: then the prompt is a walk mismatch).
  HeadlessHost(std::ostream& err, std::shared_ptr<installer::DialogHost> dialogs = nullptr);
  void MessageBox(std::string_view text, BoxStyle style, std::string_view title) override;
  void Pump() override {}
  void LoadTablesWindow() override { tablesLoaded_ = true; }
  void UnloadTablesWindow() override { tablesLoaded_ = false; }
  void ShowProgress() override { progressShown_ = true; }
  void SetProgressRange(float min, float max) override { min_ = min, max_ = max; }
  void SetProgressValue(float value) override { value_ = value; }
  void RefreshProgress() override {}
  void UnloadProgress() override { progressShown_ = false; }
  std::string PromptSaveTransform() override;

 private:
  std::ostream& err_;
  std::shared_ptr<installer::DialogHost> dialogs_;
  bool tablesLoaded_ = false;
  bool progressShown_ = false;
  float min_ = 0, max_ = 100, value_ = 0;
};

}  // namespace fennick::ui
