#include <gtest/gtest.h>

#include "src/driver/command_line.h"

namespace fennick::driver {
namespace {

TEST(PackagePath, QuotesAreRemovedWhereverTheyStandAndNothingIsTrimmed) {
  EXPECT_EQ(PackagePathFrom("\"C:\\My Files\\a.msi\""), "C:\\My Files\\a.msi");
  EXPECT_EQ(PackagePathFrom("C:\\My Files\\a.msi"), "C:\\My Files\\a.msi");
  EXPECT_EQ(PackagePathFrom("\"a.msi\" \"b.msi\""), "a.msi b.msi");
  EXPECT_EQ(PackagePathFrom("  a\"\"\".msi  "), "  a.msi  ");
  EXPECT_EQ(PackagePathFrom(""), "");
}

TEST(CommandLine, ArgumentsAreJoinedByOneBlank) {
  auto o = ParseCommandLine({"/tmp/My", "Package.msi"});
  EXPECT_EQ(o.packagePath, "/tmp/My Package.msi");
  EXPECT_EQ(ParseCommandLine({" padded ", "\"q\""}).packagePath, " padded  q");
  EXPECT_EQ(ParseCommandLine({}).packagePath, "");
}

TEST(CommandLine, OptionsComeFirst) {
  auto o = ParseCommandLine({"--replay", "w.walk", "--dump-tables", "out.txt", "p.msi"});
  EXPECT_EQ(o.replayWalk, "w.walk");
  EXPECT_EQ(o.dumpTables, "out.txt");
  EXPECT_EQ(o.packagePath, "p.msi");
  // After the path, option-like words belong to the path; "--" ends the options.
  EXPECT_EQ(ParseCommandLine({"a.msi", "--help"}).packagePath, "a.msi --help");
  EXPECT_FALSE(ParseCommandLine({"a.msi", "--help"}).help);
  EXPECT_EQ(ParseCommandLine({"--", "--odd.msi"}).packagePath, "--odd.msi");
  EXPECT_TRUE(ParseCommandLine({"--help"}).help);
  EXPECT_TRUE(ParseCommandLine({"--version"}).version);
}

TEST(CommandLine, WrongUsageIsReported) {
  EXPECT_THROW(ParseCommandLine({"--replay"}), UsageError);
  EXPECT_THROW(ParseCommandLine({"--bogus", "a.msi"}), UsageError);
  EXPECT_THROW(ParseCommandLine({"--record", "a", "--replay", "b", "p.msi"}), UsageError);
}

TEST(CommandLine, HelpNamesEveryOptionAndExitStatus) {
  const std::string help = UsageText();
  for (const char* word : {"--record", "--replay", "--dump-tables", "--help", "--version"})
    EXPECT_NE(help.find(word), std::string::npos) << word;
  for (const char* status : {"  0  ", "  1  ", "  2  ", "  3  ", "  4  ", "  5  "})
    EXPECT_NE(help.find(status), std::string::npos) << status;
}

}  // namespace
}  // namespace fennick::driver
