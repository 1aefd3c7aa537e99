// Everything a person sees of the tool goes through a host: the Qt host draws real windows,
// the headless host answers from the command line's walk and writes message boxes to
// standard error.
#pragma once

#include <string>
#include <string_view>

namespace fennick::ui {

enum class BoxStyle { Plain, Critical };

class Host {
 public:
  virtual ~Host() = default;

  // A modal message box with one OK button; returns when it is closed.
  virtual void MessageBox(std::string_view text, BoxStyle style, std::string_view title) = 0;
  // Handles every window message already waiting, then returns.
  virtual void Pump() = 0;

  // The hidden tables window: loaded at the first working-table access, unloaded at the end.
  virtual void LoadTablesWindow() = 0;
  virtual void UnloadTablesWindow() = 0;

  // The progress window frmTransform: shown modeless, range and value set, repainted, unloaded.
  virtual void ShowProgress() = 0;
  virtual void SetProgressRange(float min, float max) = 0;
  virtual void SetProgressValue(float value) = 0;
  virtual void RefreshProgress() = 0;
  virtual void UnloadProgress() = 0;

  // The save-transform prompt: the chosen path, or "" when the user cancelled.
  virtual std::string PromptSaveTransform() = 0;
};

inline constexpr std::string_view kAppTitle = "Fennick";

// Shows a message box through `host`; an empty title becomes the application title.
void ShowMessage(Host& host, std::string_view text, BoxStyle style = BoxStyle::Plain,
                 std::string_view title = {});

}  // namespace fennick::ui
