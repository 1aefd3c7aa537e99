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

// Each step as read: its line, its operation, target and [value], and whether it cancels.
std::vector<std::string> stepsOf(const Walk& walk) {
  std::vector<std::string> out;
  for (const WalkStep& s : walk.steps())
    out.push_back(std::to_string(s.line) + " " + s.describe().substr(0, s.describe().find(' ')) + " " + s.target + " [" +
                  s.value + "]" + (s.cancel ? " cancel" : ""));
  return out;
}

TEST(Walk, ReadsEveryOperationWithCommentsBlanksAndEscapes) {
  const Walk walk = Walk::parse(
      "# a walk\r\n\n  dialog InstallDirDlg   # the folder\r\nset Folder \"C:\\\\A \\\"b\\\"\\\\\"\n"
      "set Accept on\nchoose Kind \"Custom # not a comment\"\nfeature Docs absent\npress Next\nsave \"out.mst\"\n"
      "save cancel\nsave \"cancel\"\n",
      "w");
  // A quoted "cancel" is a file name.
  EXPECT_EQ(stepsOf(walk), (std::vector<std::string>{"3 dialog InstallDirDlg []", "4 set Folder [C:\\A \"b\"\\]",
                                                     "5 set Accept [on]", "6 choose Kind [Custom # not a comment]",
                                                     "7 feature Docs [absent]", "8 press Next []", "9 save  [out.mst]",
                                                     "10 save  [] cancel", "11 save  [cancel]"}));
  // What the recorder writes reads back as the same steps.
  EXPECT_EQ(Walk::parse(walk.text(), "again").text(), walk.text());
}

TEST(Walk, ErrorsNameTheFileAndLine) {
  for (const auto& c : caseRows(sourcePath("tests/dialogs/walks/parse-errors.txt")))
    EXPECT_EQ(messageOf<WalkError>([&] { Walk::parse(c.at(0), "w"); }), c.at(1));
}

TEST(Walk, NamesAndValuesThatNeedQuotesReadBackAsWritten) {
  Walk walk = Walk::parse("", "w");
  walk.append(WalkStep{WalkStep::Kind::Set, "Notes", "two\nlines\r\n"});
  walk.append(WalkStep{WalkStep::Kind::Press, "Odd # name", {}});
  walk.append(WalkStep{WalkStep::Kind::Dialog, "\"Quoted\"", {}});
  walk.append(WalkStep{WalkStep::Kind::Feature, "", "local"});
  EXPECT_EQ(walk.text(),
            "set Notes \"two\\nlines\\r\\n\"\npress \"Odd # name\"\ndialog \"\\\"Quoted\\\"\"\nfeature \"\" local\n");
  EXPECT_EQ(stepsOf(Walk::parse(walk.text(), "again")),
            (std::vector<std::string>{"1 set Notes [two\nlines\r\n]", "2 press Odd # name []",
                                      "3 dialog \"Quoted\" []", "4 feature  [local]"}));
}

TEST(Walk, ByteOrderMarkAndEveryLineEnd) {
  // CR alone (old Mac editors), LF and CRLF, mixed; line numbers count each.
  const Walk walk = Walk::parse("\xEF\xBB\xBFpress A\rpress B\r\n\npress C\npress \"D\"\r", "w");
  EXPECT_EQ(stepsOf(walk), (std::vector<std::string>{"1 press A []", "2 press B []", "4 press C []", "5 press D []"}));
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
