#include <gtest/gtest.h>

#include "src/driver/command_line.h"

namespace fennick::driver {
namespace {

// The options a command line gives, in short: the switches set, then the package path in brackets.
std::string Parsed(const std::vector<std::string>& args) {
  try {
    const Options o = ParseCommandLine(args);
    return std::string(o.help ? "help " : "") + (o.version ? "version " : "") +
           (o.replayWalk ? "replay " + *o.replayWalk + " " : "") +
           (o.dumpTables ? "dump " + *o.dumpTables + " " : "") + "[" + o.packagePath + "]";
  } catch (const UsageError&) {
    return "usage error";
  }
}

// The package path is every argument after the options joined by one blank, with the quotes
// removed wherever they stand and nothing trimmed.
TEST(CommandLine, OptionsComeFirstAndThePathIsTheRestWithoutQuotes) {
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"\"C:\\My Files\\a.msi\""}, "[C:\\My Files\\a.msi]"},
      {{"/tmp/My", "Package.msi"}, "[/tmp/My Package.msi]"},
      {{"\"a.msi\" \"b.msi\""}, "[a.msi b.msi]"},
      {{" padded ", "\"q\""}, "[ padded  q]"},
      {{"  a\"\"\".msi  "}, "[  a.msi  ]"},
      {{}, "[]"},
      {{"--replay", "w.walk", "--dump-tables", "out.txt", "p.msi"}, "replay w.walk dump out.txt [p.msi]"},
      {{"a.msi", "--help"}, "[a.msi --help]"},  // after the path, option-like words belong to it
      {{"--", "--odd.msi"}, "[--odd.msi]"},
      {{"--help"}, "help []"},
      {{"--version"}, "version []"},
      {{"--replay"}, "usage error"},
      {{"--bogus", "a.msi"}, "usage error"},
      {{"--record", "a", "--replay", "b", "p.msi"}, "usage error"},
  };
  for (const auto& [args, parsed] : cases) EXPECT_EQ(Parsed(args), parsed) << testing::PrintToString(args);
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
