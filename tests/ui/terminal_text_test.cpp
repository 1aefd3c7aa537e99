// What reaches a terminal from packages, walks and errors.
#include <gtest/gtest.h>

#include <sstream>

#include "src/ui/headless_host.h"
#include "src/ui/terminal_text.h"

namespace fennick::ui {
namespace {

TEST(TerminalText, ControlCharactersAreShownNotObeyed) {
  struct Case {
    std::string_view text;
    std::string keep, escape;
  };
  const Case cases[] = {
      {"C:\\Program Files\\Demo\\\tok", "C:\\Program Files\\Demo\\\tok", "C:\\Program Files\\Demo\\\tok"},
      {"a\r\n\r\nb\nc", "a\r\n\r\nb\nc", "a\\r\\n\\r\\nb\\nc"},
      {"over\rwrite", "over\\rwrite", "over\\rwrite"},
      {"\x1b[2J\x1b]0;title\x07", "\\x1b[2J\\x1b]0;title\\x07", "\\x1b[2J\\x1b]0;title\\x07"},
      {std::string_view("nul\0del\x7f", 8), "nul\\x00del\\x7f", "nul\\x00del\\x7f"},
      // UTF-8 text passes; C1 controls (CSI U+009B) and bytes that are not UTF-8 do not.
      {"Gr\xC3\xBC\xC3\x9F\xE2\x82\xAC\xF0\x9F\x98\x80", "Gr\xC3\xBC\xC3\x9F\xE2\x82\xAC\xF0\x9F\x98\x80",
       "Gr\xC3\xBC\xC3\x9F\xE2\x82\xAC\xF0\x9F\x98\x80"},
      {"\xC2\x9B" "31m\xC2\xA0", "\\u009b31m\xC2\xA0", "\\u009b31m\xC2\xA0"},
      {"\x9B\xC0\xAF\xED\xA0\x80\xE2\x82", "\\x9b\\xc0\\xaf\\xed\\xa0\\x80\\xe2\\x82", "\\x9b\\xc0\\xaf\\xed\\xa0\\x80\\xe2\\x82"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TerminalText(c.text, LineBreaks::Keep), c.keep);
    EXPECT_EQ(TerminalText(c.text, LineBreaks::Escape), c.escape);
  }
}

TEST(TerminalText, HeadlessMessageBoxKeepsItsLinesButNotItsEscapes) {
  std::ostringstream err;
  HeadlessHost host(err);
  host.MessageBox("Launch\r\n\x1b[31mcondition\x1b[0m", BoxStyle::Critical, "Setup\n\x1b[2J");
  EXPECT_EQ(err.str(), "fennick: Setup\\n\\x1b[2J: Launch\r\n\\x1b[31mcondition\\x1b[0m\n");
}

}  // namespace
}  // namespace fennick::ui
