// The host of a run without windows: message boxes go to standard error as
// "Fennick: <title>: <text>" and are answered with OK; windows exist only as state.
#pragma once

#include <ostream>

#include "src/ui/host.h"

namespace fennick::ui {

class HeadlessHost : public Host {
 public:
  explicit HeadlessHost(std::ostream& err);
  void MessageBox(std::string_view text, BoxStyle style, std::string_view title) override;
  void Pump() override {}
  void LoadTablesWindow() override { tablesLoaded_ = true; }
  void UnloadTablesWindow() override { tablesLoaded_ = false; }
  void ShowProgress() override { progressShown_ = true; }
  void SetProgressRange(float min, float max) override { min_ = min, max_ = max; }
  void SetProgressValue(float value) override { value_ = value; }
  void RefreshProgress() override {}
  void UnloadProgress() override { progressShown_ = false; }

 private:
  std::ostream& err_;
  bool tablesLoaded_ = false;
  bool progressShown_ = false;
  float min_ = 0, max_ = 100, value_ = 0;
};

}  // namespace fennick::ui
