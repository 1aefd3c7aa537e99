#include "src/ui/session_messages.h"

#include "src/ui/terminal_text.h"

namespace fennick::ui {

void SessionMessages::message(msi::MessageKind kind, std::string_view text) {
  switch (kind) {
    case msi::MessageKind::Error:
      host_.MessageBox(text, BoxStyle::Critical, kAppTitle);
      break;
    case msi::MessageKind::Warning:
      err_ << "fennick: warning: " << TerminalText(text, LineBreaks::Escape) << '\n';
      break;
    case msi::MessageKind::Info:
      break;
  }
}

}  // namespace fennick::ui
