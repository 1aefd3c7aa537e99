// The dialog host of a headless run: the walk player answers the dialogs, and the walk's
// `save` step answers the tool's save prompt.
#include <memory>

#include "engine/dialogs/walk.h"
#include "engine/dialogs/walk_player.h"
#include "src/installer/engine_dialog_host.h"

namespace fennick::installer {
namespace {

using msi::dialogs::Walk;
using msi::dialogs::WalkError;
using Kind = msi::dialogs::WalkStep::Kind;

class WalkDialogHost final : public EngineDialogHost {
 public:
  explicit WalkDialogHost(std::shared_ptr<Walk> walk) : walk_(walk), player_(std::move(walk)) {}

  std::string SaveAnswer() override {
    const auto* step = walk_->peek();
    if (!step)
      throw WalkMismatch(walk_->where() +
                         ": the walk ended before the save prompt (add `save \"PATH\"` or `save cancel`)");
    if (step->kind != Kind::Save)
      throw WalkMismatch(walk_->where() + ": the package is at the save prompt, but the walk has `" +
                         step->describe() + "`");
    const auto& save = walk_->take();
    // The run ends at the save prompt: a step after it would never be played.
    if (const auto* after = walk_->peek())
      throw WalkMismatch(walk_->where() + ": the walk goes on after `" + save.describe() + "` with `" +
                         after->describe() + "`, but the run ends at the save prompt");
    return save.cancel ? std::string() : save.value;
  }
  void SaveAnswered(std::string_view) override {}
  std::optional<std::string> Recording() const override { return std::nullopt; }

  void AfterAction() override {
    if (const auto& mismatch = player_.mismatch()) throw WalkMismatch(mismatch->what());
  }

 protected:
  msi::DialogRunner& Dialogs() override { return player_; }

 private:
  std::shared_ptr<Walk> walk_;
  msi::dialogs::WalkPlayer player_;
};

}  // namespace

std::shared_ptr<EngineDialogHost> PlayWalk(const std::string& path) {
  try {
    return std::make_shared<WalkDialogHost>(std::make_shared<Walk>(Walk::load(path)));
  } catch (const WalkError& e) {
    throw WalkMismatch(e.what());
  }
}

}  // namespace fennick::installer
