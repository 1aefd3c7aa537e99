// Runs every case of conditions.txt (the same corpus a peer check runs through another
// installer service) and reports all mismatches at once.
#include <map>
#include <sstream>

#include <gtest/gtest.h>

#include "engine/session/condition.h"
#include "tests/session/corpus_file.h"

namespace {

using fennick::test::readCorpus;
using fennick::test::sessionTestDataDir;

TEST(ConditionCorpus, EveryCaseGivesItsExpectedResult) {
  const auto corpus = readCorpus(sessionTestDataDir() / "conditions.txt");
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
