#include "src/ui/headless_host.h"

namespace fennick::ui {

HeadlessHost::HeadlessHost(std::ostream& err) : err_(err) {}

void HeadlessHost::MessageBox(std::string_view text, BoxStyle, std::string_view title) {
  err_ << kAppTitle << ": " << title << ": " << text << '\n';
  err_.flush();
}

}  // namespace fennick::ui
