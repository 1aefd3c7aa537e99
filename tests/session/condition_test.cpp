// Condition behaviour that the text corpus cannot carry: blanks other than spaces, text
// outside ASCII, malformed bytes, extreme nesting and length, diagnostics, and which part
// of the session each prefix consults.
#include <string>

#include <gtest/gtest.h>

#include "engine/session/condition.h"
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

TEST_F(ConditionTest, TabsAndLineBreaksSeparateTokensLikeSpaces) {
  EXPECT_EQ(eval("Int5\t=\t5"), ConditionResult::True);
  EXPECT_EQ(eval("Int5 = 5\r\nAND\n1"), ConditionResult::True);
  EXPECT_EQ(eval("NOT\tInt5"), ConditionResult::False);
  EXPECT_EQ(eval("\t \r\n"), ConditionResult::None);
  // A line break inside a literal belongs to the literal.
  EXPECT_EQ(eval("\"a\nb\" >< \"\n\""), ConditionResult::True);
}

TEST_F(ConditionTest, OtherControlCharactersAreErrors) {
  EXPECT_EQ(eval("1\vAND 1"), ConditionResult::Error);
  EXPECT_EQ(eval(std::string_view("1 AND\0 1", 8)), ConditionResult::Error);
}

TEST_F(ConditionTest, TextComparesByUtf16CodeUnits) {
  // "a" + combining ring is not "å": ordinal, not linguistic (native-checked in Wine's tests).
  EXPECT_EQ(eval("\"a\xCC\x8A\" < \"\xC3\xA5\""), ConditionResult::True);
  EXPECT_EQ(eval("\"a\xCC\x8A\" = \"\xC3\xA5\""), ConditionResult::False);
  // U+10000 is a surrogate pair (D800 DC00), which sorts before U+E000.
  EXPECT_EQ(eval("\"\xF0\x90\x80\x80\" < \"\xEE\x80\x80\""), ConditionResult::True);
  EXPECT_EQ(eval("\"\xEF\xBF\xBD\" > \"\xF0\x9F\x98\x80\""), ConditionResult::True);
}

TEST_F(ConditionTest, TildeFoldsCaseBeyondAscii) {
  EXPECT_EQ(eval("Umlaut = \"\xC3\xA4pfel\""), ConditionResult::False);
  EXPECT_EQ(eval("Umlaut ~= \"\xC3\xA4PFEL\""), ConditionResult::True);
  EXPECT_EQ(eval("Umlaut ~<< \"\xC3\xA4p\""), ConditionResult::True);
  EXPECT_EQ(eval("\"\xCE\xA9\" ~= \"\xCF\x89\""), ConditionResult::True);      // Greek omega
  EXPECT_EQ(eval("\"\xD0\x94\xD0\x90\" ~= \"\xD0\xB4\xD0\xB0\""), ConditionResult::True);  // Cyrillic
  EXPECT_EQ(eval("\"\xC3\x84\" ~= \"A\""), ConditionResult::False);
}

TEST_F(ConditionTest, MalformedUtf8InLiteralsComparesWithoutFailing) {
  EXPECT_EQ(eval("\"\xFF\" = \"\xFF\""), ConditionResult::True);
  EXPECT_EQ(eval("\"\xFF\" = \"\xFE\""), ConditionResult::False);
  EXPECT_EQ(eval("\"\xE2\x82\" ~>< \"\x82\""), ConditionResult::True);  // truncated sequence
  EXPECT_EQ(eval("\"\xC0\xAF\" <> \"/\""), ConditionResult::True);      // overlong "/"
}

TEST_F(ConditionTest, NonAsciiOutsideLiteralsIsAnError) {
  EXPECT_EQ(eval("\xC3\x84pfel"), ConditionResult::Error);
  const auto e = evaluateConditionDetailed("1 AND \xC3\x84", context);
  EXPECT_NE(e.diagnostic.find("0xC3"), std::string::npos) << e.diagnostic;
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

  e = evaluateConditionDetailed("Int5 = \"open", context);
  EXPECT_EQ(e.diagnostic, "condition `Int5 = \"open`: string literal has no closing quote at offset 7");

  e = evaluateConditionDetailed("(1 AND 1", context);
  EXPECT_NE(e.diagnostic.find("expected `)`"), std::string::npos) << e.diagnostic;

  e = evaluateConditionDetailed("1 2", context);
  EXPECT_NE(e.diagnostic.find("unexpected `2` at offset 2"), std::string::npos) << e.diagnostic;

  e = evaluateConditionDetailed("A ~ = B", context);
  EXPECT_NE(e.diagnostic.find("`~`"), std::string::npos) << e.diagnostic;

  // Long conditions, and long tokens quoted in the cause, are shortened in the message.
  e = evaluateConditionDetailed(std::string(1000, 'A') + " =", context);
  EXPECT_LT(e.diagnostic.size(), 400u);
  e = evaluateConditionDetailed("1 \"" + std::string(5000, 'x') + "\"", context);
  EXPECT_EQ(e.result, ConditionResult::Error);
  EXPECT_LT(e.diagnostic.size(), 400u);

  // Results other than Error carry no diagnostic.
  EXPECT_TRUE(evaluateConditionDetailed("Int5 = 5", context).diagnostic.empty());
  EXPECT_TRUE(evaluateConditionDetailed("", context).diagnostic.empty());
}

TEST_F(ConditionTest, PrefixesConsultFeaturesOrComponentsAndTheMatchingState) {
  // The same name as a feature and as a component, with four distinct states.
  context.features["Same"] = {msi::InstallState::Absent, msi::InstallState::Local};
  context.components["Same"] = {msi::InstallState::Advertised, msi::InstallState::Source};
  EXPECT_EQ(eval("!Same = 2"), ConditionResult::True);
  EXPECT_EQ(eval("&Same = 3"), ConditionResult::True);
  EXPECT_EQ(eval("?Same = 1"), ConditionResult::True);
  EXPECT_EQ(eval("$Same = 4"), ConditionResult::True);
  // A state outside the named ones still compares as its number.
  context.features["Odd"] = {static_cast<msi::InstallState>(-6), msi::InstallState::Unknown};
  EXPECT_EQ(eval("!Odd = -6"), ConditionResult::True);
}

TEST_F(ConditionTest, EnvironmentNamesGoToTheContextAsWritten) {
  // The context decides case-insensitivity; the evaluator passes the name untouched.
  context.environmentVariables["PATH"] = "C:\\Windows";
  EXPECT_EQ(eval("%Path >< \"Windows\""), ConditionResult::True);
  EXPECT_EQ(eval("%PATH_X"), ConditionResult::False);
}

TEST_F(ConditionTest, SummaryFormAgreesWithDetailedForm) {
  for (const char* c : {"", "1", "0", "1 =", "Int5 = 5", "NOT Int5"})
    EXPECT_EQ(evaluateCondition(c, context), evaluateConditionDetailed(c, context).result) << c;
}

}  // namespace
