#include "src/ui/headless_host.h"

#include "src/ui/save_answer.h"
#include "src/ui/terminal_text.h"

namespace fennick::ui {

HeadlessHost::HeadlessHost(std::ostream& err, std::shared_ptr<msi::dialogs::Walk> walk)
    : err_(err), walk_(std::move(walk)) {}

std::string HeadlessHost::PromptSaveTransform() {
  using msi::dialogs::WalkError;
  using Kind = msi::dialogs::WalkStep::Kind;
  if (!walk_) throw WalkError("no walk answers the save prompt");
  const auto* step = walk_->peek();
  if (!step) throw WalkError(walk_->where() + ": the walk ended before the save prompt (add `save \"PATH\"` or `save cancel`)");
  if (step->kind != Kind::Save)
    throw WalkError(walk_->where() + ": the package is at the save prompt, but the walk has `" + step->describe() + "`");
  const auto& save = walk_->take();
  // The run ends at the save prompt: a step after it would never be played.
  if (const auto* after = walk_->peek())
    throw WalkError(walk_->where() + ": the walk goes on after `" + save.describe() + "` with `" + after->describe() +
                    "`, but the run ends at the save prompt");
  return save.cancel ? std::string() : TrimSaveAnswer(save.value);
}

void HeadlessHost::MessageBox(std::string_view text, BoxStyle, std::string_view title) {
  // As the program's other reports: "fennick: <title>: <text>". A box titled with the
  // program's own name says it once. The title is one line; the text keeps its lines.
  err_ << "fennick: ";
  if (!title.empty() && title != kAppTitle) err_ << TerminalText(title, LineBreaks::Escape) << ": ";
  err_ << TerminalText(text, LineBreaks::Keep) << '\n';
  err_.flush();
}

}  // namespace fennick::ui
