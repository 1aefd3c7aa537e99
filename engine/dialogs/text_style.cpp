// Text style prefixes of control texts: `{\DlgTitleFont}Welcome` shows "Welcome" in the
// DlgTitleFont style of the TextStyle table. `{&Style}` names a style the same way (the form
// whose font the user's language does not replace).
#include "engine/dialogs/dialog_model.h"

namespace msi::dialogs {
namespace {

// The length of one `{\Name}` prefix at the start of `text`, 0 when there is none.
std::size_t prefixLength(std::string_view text, std::string_view& name) {
  if (text.size() < 4 || text[0] != '{' || (text[1] != '\\' && text[1] != '&')) return 0;
  const std::size_t close = text.find('}', 2);
  if (close == std::string_view::npos || close == 2) return 0;
  name = text.substr(2, close - 2);
  // A backslash or brace inside is rich text, not a style name.
  if (name.find_first_of("\\{") != std::string_view::npos) return 0;
  return close + 1;
}

}  // namespace

StyledText splitTextStyle(std::string_view text) {
  StyledText out;
  std::string_view name;
  while (const std::size_t n = prefixLength(text, name)) {
    out.style = std::string(name);
    text.remove_prefix(n);
  }
  out.text = std::string(text);
  return out;
}

}  // namespace msi::dialogs
