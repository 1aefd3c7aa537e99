// Walk files as the parser reads them and as the recorder writes them.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "engine/dialogs/walk.h"
#include "tests/dialogs/dialog_test_support.h"
#include "tests/support/fixtures.h"
#include "tests/support/session_checks.h"
#include "tests/support/table_sections.h"

namespace fennick::test {
namespace {

using msi::dialogs::Walk;
using msi::dialogs::WalkError;
using msi::dialogs::WalkStep;

TEST(Walk, ReadsEveryOperationWithCommentsBlanksAndEscapes) {
  const Walk walk = Walk::parse(
      "# a walk\r\n\n  dialog InstallDirDlg   # the folder\r\nset Folder \"C:\\\\A \\\"b\\\"\\\\\"\n"
      "set Accept on\nchoose Kind \"Custom # not a comment\"\nfeature Docs absent\npress Next\nsave \"out.mst\"\n"
      "save cancel\nsave \"cancel\"\n",
      "w");
  ASSERT_EQ(walk.steps().size(), 9u);
  EXPECT_EQ(walk.steps()[0].kind, WalkStep::Kind::Dialog);
  EXPECT_EQ(walk.steps()[0].target, "InstallDirDlg");
  EXPECT_EQ(walk.steps()[0].line, 3u);
  EXPECT_EQ(walk.steps()[1].value, "C:\\A \"b\"\\");
  EXPECT_EQ(walk.steps()[2].value, "on");
  EXPECT_EQ(walk.steps()[3].value, "Custom # not a comment");
  EXPECT_EQ(walk.steps()[4].kind, WalkStep::Kind::Feature);
  EXPECT_EQ(walk.steps()[5].kind, WalkStep::Kind::Press);
  EXPECT_FALSE(walk.steps()[6].cancel);
  EXPECT_TRUE(walk.steps()[7].cancel);
  EXPECT_FALSE(walk.steps()[8].cancel);  // a quoted "cancel" is a file name
  EXPECT_EQ(walk.steps()[8].value, "cancel");
  // What the recorder writes reads back as the same steps.
  EXPECT_EQ(Walk::parse(walk.text(), "again").text(), walk.text());
}

TEST(Walk, ErrorsNameTheFileAndLine) {
  for (const auto& c : caseRows(sourcePath("tests/dialogs/walks/parse-errors.txt"))) {
    EXPECT_EQ(messageOf<WalkError>([&] { Walk::parse(c.at(0), "w"); }), c.at(1));
  }
}

TEST(Walk, NamesAndValuesThatNeedQuotesReadBackAsWritten) {
  Walk walk = Walk::parse("", "w");
  walk.append(WalkStep{WalkStep::Kind::Set, "Notes", "two\nlines\r\n"});
  walk.append(WalkStep{WalkStep::Kind::Press, "Odd # name", {}});
  walk.append(WalkStep{WalkStep::Kind::Dialog, "\"Quoted\"", {}});
  walk.append(WalkStep{WalkStep::Kind::Feature, "", "local"});
  EXPECT_EQ(walk.text(),
            "set Notes \"two\\nlines\\r\\n\"\npress \"Odd # name\"\ndialog \"\\\"Quoted\\\"\"\nfeature \"\" local\n");
  const Walk again = Walk::parse(walk.text(), "again");
  ASSERT_EQ(again.steps().size(), 4u);
  EXPECT_EQ(again.steps()[0].value, "two\nlines\r\n");
  EXPECT_EQ(again.steps()[1].target, "Odd # name");
  EXPECT_EQ(again.steps()[2].target, "\"Quoted\"");
  EXPECT_EQ(again.steps()[3].target, "");
}

TEST(Walk, TakingStepsReportsWhereThePlayerIs) {
  Walk walk = Walk::parse("\npress Next\n", "w");
  EXPECT_EQ(walk.where(), "w:2");
  EXPECT_EQ(walk.take().target, "Next");
  EXPECT_EQ(walk.peek(), nullptr);
  EXPECT_EQ(walk.where(), "w: end of walk");
  EXPECT_THROW(walk.take(), WalkError);
}

TEST(Walk, ByteOrderMarkAndEveryLineEnd) {
  // CR alone (old Mac editors), LF and CRLF, mixed; line numbers count each.
  const Walk walk = Walk::parse("\xEF\xBB\xBFpress A\rpress B\r\n\npress C\npress \"D\"\r", "w");
  ASSERT_EQ(walk.steps().size(), 4u);
  const std::pair<std::string, std::size_t> expected[] = {{"A", 1}, {"B", 2}, {"C", 4}, {"D", 5}};
  for (std::size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(walk.steps()[i].target, expected[i].first);
    EXPECT_EQ(walk.steps()[i].line, expected[i].second);
  }
  // Only a leading mark is one; elsewhere its bytes are text.
  EXPECT_THROW(Walk::parse("press A\n\xEF\xBB\xBFpress B\n", "w"), WalkError);
}

TEST(Walk, LinesHaveABound) {
  const std::string longest(msi::dialogs::kWalkMaxLineBytes - 8, 'x');
  EXPECT_EQ(Walk::parse("press A\r\npress \"" + longest + "\"\r\n", "w").steps()[1].target, longest);
  const std::string oversize = "press A\n# " + std::string(msi::dialogs::kWalkMaxLineBytes, '#') + "\n";
  EXPECT_EQ(messageOf<WalkError>([&] { Walk::parse(oversize, "w"); }), "w:2: the line is longer than 64 KiB");
}

TEST(Walk, LoadsOnlyABoundedRegularFile) {
  namespace fs = std::filesystem;
  const fs::path dir = scratchDir();
  std::ofstream(dir / "ok.walk", std::ios::binary) << "\xEF\xBB\xBFpress Next\r\n";
  EXPECT_EQ(Walk::load(dir / "ok.walk").steps().size(), 1u);
  EXPECT_TRUE(Walk::load("/dev/null").steps().empty());
  // Sparse: one byte over the bound costs no disk.
  std::ofstream(dir / "big.walk");
  fs::resize_file(dir / "big.walk", msi::dialogs::kWalkMaxFileBytes + 1);
  ASSERT_EQ(::mkfifo((dir / "fifo.walk").c_str(), 0600), 0);
  const std::pair<fs::path, std::string> cases[] = {
      {dir, ": is a directory, not a walk file"},
      {"/dev/zero", ": is not a regular file; a walk is read from a regular file"},
      {dir / "fifo.walk", ": is not a regular file; a walk is read from a regular file"},
      {dir / "big.walk", ": the walk file is larger than 16 MiB"},
      {dir / "missing.walk", ": cannot open the walk file: No such file or directory"},
  };
  for (const auto& [path, cause] : cases) EXPECT_EQ(messageOf<WalkError>([&] { Walk::load(path); }), path.string() + cause);
}

}  // namespace
}  // namespace fennick::test
