// The dialog host of an interactive run: the package's dialogs in windows, and, when asked,
// every answer the person gives kept as a walk.
#include <memory>

#include "engine/dialogs/walk.h"
#include "engine/qt/qt_dialog_runner.h"
#include "src/installer/engine_dialog_host.h"

namespace fennick::installer {
namespace {

class WindowDialogHost final : public EngineDialogHost {
 public:
  explicit WindowDialogHost(bool record)
      : record_(record), recorded_(msi::dialogs::Walk::parse("", "")), runner_(record ? &recorded_ : nullptr) {}

  std::string SaveAnswer() override { throw WalkMismatch("the dialogs are shown in windows: no walk answers the save prompt"); }
  void SaveAnswered(std::string_view path) override {
    if (auto* recorder = runner_.recorder()) recorder->recordSave(path);
  }
  std::optional<std::string> Recording() const override {
    if (!record_) return std::nullopt;
    return recorded_.text();
  }

 protected:
  msi::DialogRunner& Dialogs() override { return runner_; }

 private:
  bool record_;
  msi::dialogs::Walk recorded_;  // declared before the runner, which appends to it
  msi::qt::QtDialogRunner runner_;
};

}  // namespace

std::shared_ptr<EngineDialogHost> ShowDialogs(bool record) { return std::make_shared<WindowDialogHost>(record); }

}  // namespace fennick::installer
