// Licence texts as the ScrollableText control shows them.
#include <gtest/gtest.h>

#include "engine/qt/rtf_text.h"

namespace msi::qt {
namespace {

TEST(RtfText, KeepsParagraphsAndEscapedCharactersAndDropsHeaderGroups) {
  const std::string rtf =
      "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fnil Tahoma;}}{\\colortbl ;\\red0\\green0\\blue0;}"
      "{\\*\\generator Riched20;}\\viewkind4\\uc1\\pard\\b\\f0\\fs20 Licence\\b0\\par\n"
      "Use it \\'e0 volont\\'e9.\\par You may \\{not\\} copy\\tab it.\\par}";
  EXPECT_EQ(rtfToPlainText(rtf), "Licence\nUse it \xC3\xA0 volont\xC3\xA9.\nYou may {not} copy\tit.");
  // Unicode escapes skip their fallback character.
  EXPECT_EQ(rtfToPlainText("{\\rtf1 caf\\u233?s \\u-3971?}"), "caf\xC3\xA9s \xEF\x81\xBD");
}

TEST(RtfText, PlainTextAndBrokenInputPassThroughSafely) {
  EXPECT_EQ(rtfToPlainText("Just text {with braces}"), "Just text {with braces}");
  // Unbalanced groups, a trailing backslash, a truncated escape, an endless word.
  EXPECT_EQ(rtfToPlainText("{\\rtf1 a}}}} b {{{ c\\'4"), "a b  c");
  EXPECT_EQ(rtfToPlainText("{\\rtf1 x\\"), "x");
  const std::string deep = "{\\rtf1 " + std::string(100000, '{') + "deep" + std::string(100000, '}');
  EXPECT_EQ(rtfToPlainText(deep), "deep");
  EXPECT_EQ(rtfToPlainText("{\\rtf1 \\" + std::string(1000, 'x') + " y}"), "y");
}

}  // namespace
}  // namespace msi::qt
