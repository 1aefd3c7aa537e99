#include "src/ui/headless_host.h"

#include "src/ui/save_answer.h"
#include "src/ui/terminal_text.h"

namespace fennick::ui {

HeadlessHost::HeadlessHost(std::ostream& err, std::shared_ptr<installer::DialogHost> dialogs)
    : err_(err), dialogs_(std::move(dialogs)) {}

std::string HeadlessHost::PromptSaveTransform() {
  if (!dialogs_) throw installer::WalkMismatch("no walk answers the save prompt");
  return TrimSaveAnswer(dialogs_->SaveAnswer());
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
