// The shared text helpers: the edge cases every caller relies on.
#include <gtest/gtest.h>

#include "engine/text/integers.h"
#include "engine/text/quoting.h"
#include "engine/text/utf8.h"

namespace msi::text {
namespace {

TEST(Utf8, InvalidInputBecomesReplacementCharacters) {
  struct Case { std::string in; std::u16string out; };
  const Case cases[] = {
      {"caf\xC3\xA9", u"caf\u00E9"},
      {"\xF0\x9F\x98\x80", u"\U0001F600"},           // four bytes -> surrogate pair
      {"\xC0\xAF", u"\uFFFD\uFFFD"},                  // overlong '/'
      {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},        // encoded surrogate
      {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},  // past U+10FFFF
      {"ab\xE2\x82", u"ab\uFFFD\uFFFD"},              // cut short
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.in);
    EXPECT_EQ(utf8ToUtf16(c.in), c.out);
  }
  EXPECT_EQ(utf16ToUtf8(u"a\xD800" "b"), "a\xEF\xBF\xBD" "b");  // lone surrogate
  EXPECT_EQ(utf16ToUtf8(u"\U0001F600\u00E9"), "\xF0\x9F\x98\x80\xC3\xA9");
}

TEST(Integers, OneSyntaxWithItsLimits) {
  struct Case { std::string_view in; std::optional<std::int32_t> refused, allowed; };
  const Case cases[] = {
      {"-17", -17, -17},
      {"+5", std::nullopt, 5},
      {"2147483647", 2147483647, 2147483647},
      {"2147483648", std::nullopt, std::nullopt},
      {"-2147483648", -2147483647 - 1, -2147483647 - 1},
      {"-2147483649", std::nullopt, std::nullopt},
      {"99999999999999999999", std::nullopt, std::nullopt},
      {"", std::nullopt, std::nullopt},
      {"-", std::nullopt, std::nullopt},
      {"+-1", std::nullopt, std::nullopt},
      {" 1", std::nullopt, std::nullopt},
      {"1 ", std::nullopt, std::nullopt},
      {"0x10", std::nullopt, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.in));
    EXPECT_EQ(parseInt32(c.in), c.refused);
    EXPECT_EQ(parseInt32(c.in, PlusSign::Allowed), c.allowed);
  }
  EXPECT_EQ(parseUInt32("4294967295"), 4294967295u);
  EXPECT_EQ(parseUInt32("4294967296"), std::nullopt);
  EXPECT_EQ(parseUInt32("-1"), std::nullopt);
  EXPECT_EQ(parseUInt64("18446744073709551615"), 18446744073709551615ull);
  EXPECT_EQ(parseUInt64("18446744073709551616"), std::nullopt);
}

TEST(Quoting, MessagesAndFieldsStayOnTheirLine) {
  EXPECT_EQ(backticked("Feature"), "`Feature`");
  EXPECT_EQ(backticked("a\nb\tc"), "`a b c`");
  EXPECT_EQ(backticked("abcdef", 3), "`abc...`");
  EXPECT_EQ(tabField("C:\\Program Files\\\tx\r\n"), "C:\\\\Program Files\\\\\\tx\\r\\n");
}

}  // namespace
}  // namespace msi::text
