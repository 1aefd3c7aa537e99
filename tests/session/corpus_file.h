// Reads the tab-separated case corpora beside these tests (conditions.txt, formatted.txt):
// "@kind NAME VALUE" setup lines fill a FakeSessionContext, "#" lines are comments, every
// other non-blank line is a case of two tab-separated columns.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "tests/session/fake_session_context.h"

namespace fennick::test {

struct CorpusCase {
  int line = 0;
  std::string first;   // text before the first tab
  std::string second;  // text after it, exactly
  bool marked = false;  // under a "# docs" or "# choice" comment, up to the next blank line
};

struct Corpus {
  FakeSessionContext context;
  std::vector<CorpusCase> cases;
  std::vector<std::string> problems;  // malformed lines, as "file:line: cause"
};

Corpus readCorpus(const std::filesystem::path& file);

// The folder of this source file, where the corpora live.
std::filesystem::path sessionTestDataDir();

}  // namespace fennick::test
