#include "engine/dialogs/walk_player.h"

namespace msi::dialogs {
namespace {

std::string at(const Walk& walk, const WalkStep& step) { return walk.name() + ":" + std::to_string(step.line); }

}  // namespace

WalkPlayer::WalkPlayer(std::shared_ptr<Walk> walk) : walk_(std::move(walk)) {
  if (!walk_) walk_ = std::make_shared<Walk>(Walk::parse("", "(no walk)"));
}

void WalkPlayer::rethrowMismatch() const {
  if (mismatch_) throw *mismatch_;
}

void WalkPlayer::addObserver(WizardObserver& observer) { observers_.push_back(&observer); }

ActionStatus WalkPlayer::runDialog(Session& session, std::string_view dialog) {
  if (mismatch_) return ActionStatus::Failure;
  Wizard wizard(session, dialog);
  for (WizardObserver* o : observers_) wizard.addObserver(*o);
  try {
    play(wizard);
  } catch (const WalkError& e) {
    mismatch_ = e;
    return ActionStatus::Failure;
  }
  return wizard.result();
}

void WalkPlayer::play(Wizard& wizard) {
  while (!wizard.finished()) {
    const std::string shown = wizard.active().name;
    const WalkStep* next = walk_->peek();
    if (!next)
      throw WalkError(walk_->name() + ": the walk ended, but dialog `" + shown + "` waits for an answer");
    if (next->kind == WalkStep::Kind::Save)
      throw WalkError(walk_->where() + ": dialog `" + shown + "` waits for an answer, but the walk has `" +
                      next->describe() + "`");
    const WalkStep& step = walk_->take();
    if (step.kind == WalkStep::Kind::Dialog) {
      if (step.target != shown)
        throw WalkError(at(*walk_, step) + ": expected dialog `" + step.target + "`, but the package shows `" +
                        shown + "`");
      continue;
    }
    try {
      apply(wizard, step);
    } catch (const OperationError& e) {
      throw WalkError(at(*walk_, step) + ": `" + step.describe() + "`: " + e.what());
    }
  }
}

void WalkPlayer::apply(Wizard& wizard, const WalkStep& step) {
  switch (step.kind) {
    case WalkStep::Kind::Set: {
      const Control* control = wizard.active().find(step.target);
      if (control && control->type == ControlType::CheckBox) {
        if (step.value != "on" && step.value != "off")
          throw OperationError("dialog `" + wizard.active().name + "`: check box `" + step.target +
                               "` is set `on` or `off`, not `" + step.value + "`");
        wizard.setChecked(step.target, step.value == "on");
      } else {
        wizard.setValue(step.target, step.value);
      }
      break;
    }
    case WalkStep::Kind::Choose:
      wizard.choose(step.target, step.value);
      break;
    case WalkStep::Kind::Feature: {
      const auto state = parseFeatureChoice(step.value);
      if (!state) throw OperationError("feature state `" + step.value + "` is not local, source, advertise or absent");
      wizard.setFeatureState(step.target, *state);
      break;
    }
    case WalkStep::Kind::Press:
      wizard.press(step.target);
      break;
    case WalkStep::Kind::Dialog:
    case WalkStep::Kind::Save:
      break;  // handled by play()
  }
}

}  // namespace msi::dialogs
