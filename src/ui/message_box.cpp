#include "src/ui/host.h"

namespace fennick::ui {

void ShowMessage(Host& host, std::string_view text, BoxStyle style, std::string_view title) {
  host.MessageBox(text, style, title.empty() ? kAppTitle : title);
}

}  // namespace fennick::ui
