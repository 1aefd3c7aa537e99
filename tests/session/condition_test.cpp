// Conditions: the text corpus (conditions.txt), and what it cannot carry: blanks other than
// spaces, text outside ASCII, malformed bytes, extreme nesting and length, and diagnostics.
#include <map>
#include <sstream>
#include <string>
#include <tuple>

#include <gtest/gtest.h>

#include "engine/session/condition.h"
#include "tests/session/corpus_file.h"
#include "tests/session/fake_session_context.h"

namespace {

using msi::ConditionResult;
using msi::evaluateCondition;
using msi::evaluateConditionDetailed;

class ConditionTest : public ::testing::Test {
 protected:
  ConditionTest() {
    context.properties["Int5"] = "5";
    context.properties["Umlaut"] = "\xC3\x84pfel";  // "Äpfel"
  }
  ConditionResult eval(std::string_view condition) const {
    return evaluateCondition(condition, context);
  }
  fennick::test::FakeSessionContext context;
};

// Blanks, control characters and text outside ASCII: each condition and its result.
TEST_F(ConditionTest, BlanksControlCharactersAndTextBeyondAscii) {
  const std::tuple<std::string, ConditionResult, const char*> cases[] = {
      {"Int5\t=\t5", ConditionResult::True, "tabs separate tokens like spaces"},
      {"Int5 = 5\r\nAND\n1", ConditionResult::True, "so do line breaks"},
      {"\t \r\n", ConditionResult::None, "blanks only"},
      {"\"a\nb\" >< \"\n\"", ConditionResult::True, "a line break inside a literal belongs to it"},
      {"1\vAND 1", ConditionResult::Error, "other control characters are errors"},
      {std::string("1 AND\0 1", 8), ConditionResult::Error, ""},
      // Ordinal comparison by UTF-16 code units, not linguistic (native-checked in Wine's tests).
      {"\"a\xCC\x8A\" < \"\xC3\xA5\"", ConditionResult::True, "a + combining ring is not a-ring"},
      {"\"a\xCC\x8A\" = \"\xC3\xA5\"", ConditionResult::False, ""},
      {"\"\xF0\x90\x80\x80\" < \"\xEE\x80\x80\"", ConditionResult::True, "U+10000 is D800 DC00, before U+E000"},
      {"\"\xEF\xBF\xBD\" > \"\xF0\x9F\x98\x80\"", ConditionResult::True, ""},
      // The tilde folds case beyond ASCII.
      {"Umlaut = \"\xC3\xA4pfel\"", ConditionResult::False, ""},
      {"Umlaut ~= \"\xC3\xA4PFEL\"", ConditionResult::True, ""},
      {"Umlaut ~<< \"\xC3\xA4p\"", ConditionResult::True, ""},
      {"\"\xD0\x94\xD0\x90\" ~= \"\xD0\xB4\xD0\xB0\"", ConditionResult::True, "Cyrillic"},
      {"\"\xC3\x84\" ~= \"A\"", ConditionResult::False, ""},
      {"\xC3\x84pfel", ConditionResult::Error, "text beyond ASCII outside a literal"},
      // Malformed UTF-8 in literals compares without failing.
      {"\"\xFF\" = \"\xFF\"", ConditionResult::True, ""},
      {"\"\xE2\x82\" ~>< \"\x82\"", ConditionResult::True, "truncated sequence"},
      {"\"\xC0\xAF\" <> \"/\"", ConditionResult::True, "overlong /"},
  };
  for (const auto& [condition, result, why] : cases) EXPECT_EQ(eval(condition), result) << condition << " " << why;
}

TEST_F(ConditionTest, NestingIsCappedAndReportedAsError) {
  const std::size_t n = msi::kMaxConditionNesting;
  const std::string deepest = std::string(n, '(') + "1" + std::string(n, ')');
  EXPECT_EQ(eval(deepest), ConditionResult::True);
  const std::string tooDeep = "(" + deepest + ")";
  const auto e = evaluateConditionDetailed(tooDeep, context);
  EXPECT_EQ(e.result, ConditionResult::Error);
  EXPECT_NE(e.diagnostic.find("nested deeper"), std::string::npos) << e.diagnostic;
  // Far deeper input is refused the same way instead of exhausting the stack.
  EXPECT_EQ(eval(std::string(200000, '(')), ConditionResult::Error);
}

TEST_F(ConditionTest, LongChainsEvaluateWithoutRecursion) {
  std::string nots;
  for (int i = 0; i < 100001; ++i) nots += "NOT ";
  EXPECT_EQ(eval(nots + "0"), ConditionResult::True);  // odd number of NOTs
  std::string ors = "0";
  for (int i = 0; i < 50000; ++i) ors += " OR 0";
  EXPECT_EQ(eval(ors), ConditionResult::False);
  EXPECT_EQ(eval(ors + " OR Int5"), ConditionResult::True);
}

TEST_F(ConditionTest, DiagnosticNamesTheConditionTheCauseAndTheOffset) {
  auto e = evaluateConditionDetailed("Int5 = ", context);
  EXPECT_EQ(e.result, ConditionResult::Error);
  EXPECT_EQ(e.diagnostic, "condition `Int5 = `: expected a value instead of end of condition at offset 7");

  e = evaluateConditionDetailed("1 AND \xC3\x84", context);
  EXPECT_NE(e.diagnostic.find("0xC3"), std::string::npos) << e.diagnostic;

  // Long conditions, and long tokens quoted in the cause, are shortened in the message.
  e = evaluateConditionDetailed(std::string(1000, 'A') + " =", context);
  EXPECT_LT(e.diagnostic.size(), 400u);
  e = evaluateConditionDetailed("1 \"" + std::string(5000, 'x') + "\"", context);
  EXPECT_EQ(e.result, ConditionResult::Error);
  EXPECT_LT(e.diagnostic.size(), 400u);
}

// Every case of conditions.txt (the same corpus a peer check runs through another installer
// service), all mismatches reported at once.
TEST(ConditionCorpus, EveryCaseGivesItsExpectedResult) {
  const auto corpus = fennick::test::readCorpus(fennick::test::sessionTestDataDir() / "conditions.txt");
  ASSERT_TRUE(corpus.problems.empty()) << corpus.problems.front();
  ASSERT_GE(corpus.cases.size(), 300u);

  std::ostringstream mismatches;
  std::map<std::string, int> perExpectation;
  for (const auto& c : corpus.cases) {
    if (c.first.size() != 1 || c.first[0] < '0' || c.first[0] > '3') {
      ADD_FAILURE() << "conditions.txt:" << c.line << ": expected result `" << c.first
                    << "` is not 0..3";
      continue;
    }
    ++perExpectation[c.first];
    const auto got = msi::evaluateConditionDetailed(c.second, corpus.context);
    const int expected = c.first[0] - '0';
    if (static_cast<int>(got.result) != expected)
      mismatches << "\n  conditions.txt:" << c.line << ": `" << c.second << "` gave "
                 << static_cast<int>(got.result) << ", expected " << expected
                 << (got.diagnostic.empty() ? "" : " (" + got.diagnostic + ")");
  }
  EXPECT_TRUE(mismatches.str().empty()) << "mismatches:" << mismatches.str();
  // The corpus exercises every kind of result.
  for (const char* r : {"0", "1", "2", "3"}) EXPECT_GT(perExpectation[r], 0) << "no case expects " << r;
}

}  // namespace
