#include "engine/dialogs/walk_recorder.h"

namespace msi::dialogs {

void WalkRecorder::follow(Wizard& wizard) {
  lastDialog_.clear();
  wizard.addObserver(*this);
}

void WalkRecorder::finished(const Wizard&) {
  // The next wizard writes its first dialog even when it is the one this one ended on.
  lastDialog_.clear();
}

void WalkRecorder::recordSave(std::string_view path) {
  WalkStep step{WalkStep::Kind::Save, {}, std::string(path)};
  step.cancel = path.empty();
  walk_.append(std::move(step));
}

void WalkRecorder::operation(const Wizard&, std::string_view dialog, const WalkStep& step) {
  if (dialog != lastDialog_) {
    walk_.append(WalkStep{WalkStep::Kind::Dialog, std::string(dialog), {}});
    lastDialog_ = std::string(dialog);
  }
  WalkStep copy = step;
  copy.line = 0;
  walk_.append(std::move(copy));
}

}  // namespace msi::dialogs
