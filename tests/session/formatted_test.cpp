// Formatted text: the text corpus (formatted.txt), and beyond it message records (field
// references, the default template, fields formatted before insertion), short file paths,
// and hostile nesting.
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/session/formatted.h"
#include "tests/session/corpus_file.h"
#include "tests/session/fake_session_context.h"
#include "tests/support/table_sections.h"

namespace {

using msi::formatRecord;
using msi::formatText;

class FormattedTest : public ::testing::Test {
 protected:
  FormattedTest() {
    context.properties["One"] = "mercury";
    context.properties["prop"] = "val";
    context.fileTargets["App"] = "C:\\Program Files\\Demo\\application.exe";
    context.fileShortNames["App"] = "C:\\PROGRA~1\\Demo\\APPLIC~1.EXE";
  }
  std::string record(std::vector<std::string> fields) const { return formatRecord(fields, context); }
  fennick::test::FakeSessionContext context;
};

TEST_F(FormattedTest, ShortFilePathsOnlyWhenAsked) {
  EXPECT_EQ(formatText("[!App]", context), "C:\\Program Files\\Demo\\application.exe");
  msi::FormatOptions shortPaths;
  shortPaths.shortFilePaths = true;
  EXPECT_EQ(formatText("[!App]", context, shortPaths), "C:\\PROGRA~1\\Demo\\APPLIC~1.EXE");
  EXPECT_EQ(formatText("[#App]", context, shortPaths), "C:\\Program Files\\Demo\\application.exe");
}

TEST_F(FormattedTest, NestingBeyondTheCapIsLeftAsWritten) {
  // Each level names the property whose value the next level needs: "P" -> "One".
  context.properties["P"] = "One";
  const std::size_t cap = msi::kMaxFormatNesting;
  EXPECT_EQ(formatText("[[P]]", context), "mercury");
  const std::string deep = std::string(cap + 1, '[') + "x" + std::string(cap + 1, ']');
  EXPECT_EQ(formatText(deep, context), deep);
  const std::string braces = std::string(cap + 1, '{') + "[One]" + std::string(cap + 1, '}');
  EXPECT_EQ(formatText(braces, context), braces);
  // Far deeper input returns promptly, also unbalanced.
  const std::string hostile = std::string(100000, '[') + std::string(100000, '{');
  EXPECT_EQ(formatText(hostile, context), hostile);
  const std::string many = std::string(50000, '{') + "[One]";
  EXPECT_EQ(formatText(many, context), many);
  // Below the cap, unmatched braces are ordinary characters around a resolved reference.
  EXPECT_EQ(formatText(std::string(cap - 1, '{') + "[One]", context), std::string(cap - 1, '{') + "mercury");
}

TEST_F(FormattedTest, LongTemplatesResolveEveryReference) {
  std::string tmpl;
  for (int i = 0; i < 20000; ++i) tmpl += "[One]{[One]}[\\x]";
  std::string expected;
  for (int i = 0; i < 20000; ++i) expected += "mercurymercuryx";
  EXPECT_EQ(formatText(tmpl, context), expected);
}

std::string decodeExpected(std::string text) {
  const std::string nul = "<NUL>";
  for (std::size_t at = text.find(nul); at != std::string::npos; at = text.find(nul, at + 1))
    text.replace(at, nul.size(), std::string(1, '\0'));
  return text;
}

std::string visible(const std::string& text) {
  std::string out;
  for (char c : text) out += c == '\0' ? std::string("<NUL>") : std::string(1, c);
  return out;
}

// Message records (records.txt): numbered references, nested ones, the default template, fields
// formatted before insertion, and groups that depend on fields.
TEST_F(FormattedTest, RecordsFillTheirTemplate) {
  for (const auto& c : fennick::test::caseRows(fennick::test::sessionTestDataDir() / "records.txt"))
    EXPECT_EQ(record({c.begin() + 1, c.end()}), decodeExpected(c.at(0))) << c.at(1);
  EXPECT_EQ(record({}), "");
}

// Every case of formatted.txt, all mismatches reported at once.
TEST(FormattedCorpus, EveryCaseGivesItsExpectedText) {
  const auto corpus = fennick::test::readCorpus(fennick::test::sessionTestDataDir() / "formatted.txt");
  ASSERT_TRUE(corpus.problems.empty()) << corpus.problems.front();
  ASSERT_GE(corpus.cases.size(), 100u);

  std::ostringstream mismatches;
  for (const auto& c : corpus.cases) {
    const std::string got = msi::formatText(c.second, corpus.context);
    if (got != decodeExpected(c.first))
      mismatches << "\n  formatted.txt:" << c.line << ": `" << c.second << "` gave `" << visible(got)
                 << "`, expected `" << c.first << "`";
  }
  EXPECT_TRUE(mismatches.str().empty()) << "mismatches:" << mismatches.str();
}

}  // namespace
