// Runs every case of formatted.txt and reports all mismatches at once.
#include <sstream>

#include <gtest/gtest.h>

#include "engine/session/formatted.h"
#include "tests/session/corpus_file.h"

namespace {

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
