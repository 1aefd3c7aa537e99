// The tool replaying walks through the demo package's dialogs: walks that do not fit, cancels,
// bad walk files, and a package that grows a property without bound. (What a walk's transform
// does, applied by Wine's installer service: tool_choices_test.cpp.)
#include <gtest/gtest.h>

#include <fstream>

#include "tests/peer/process.h"
#include "tests/support/fixtures.h"
#include "tests/support/tool_runs.h"

namespace fennick::test {
namespace {

namespace fs = std::filesystem;
using peer::runProcess;

TEST(ToolWalk, WalksThatDoNotFitAreCancelledOrCannotBeReadStopWithTheirStatus) {
  const auto scratch = scratchDir();
  const fs::path demo = buildPackage(scratch, demoArchives(), "demo.msi");
  const std::string toSave = "press Next\npress Next\npress Next\npress Install\n";
  const std::string folder = scratch.string(), longWalk = folder + "/long.walk", after = folder + "/after.walk";
  std::ofstream(longWalk) << "press Next\npress \"" + std::string(70000, 'x') + "\"\n";
  std::ofstream(after) << toSave + "save cancel\npress Next\n";
  const fs::path mst = scratch / "out.mst";
  struct Case {
    std::string walk, file;  // the walk's text, or a file to read it from
    int status;
    std::string err, out;  // what standard error holds; standard output exactly, where given
  };
  const Case cases[] = {
      {"dialog WelcomeDlg\npress Next\ndialog FeaturesDlg\n", "", 2, "walk.txt:3", ""},
      {"dialog WelcomeDlg\npress Cancel\n", "", 4,
       "fennick: DoAction Error: An error occured executing action: WelcomeDlg\r\n\r\n"
       "IDCANCEL, user terminated prematurely.",
       "no transform written: an action failed or the package's dialogs were exited (see the message above)\n"},
      {toSave + "save cancel\n", "", 5, "fennick: Transform Cancelled: Transform creation cancelled by user",
       "no transform written: the save prompt was cancelled (see the message above)\n"},
      {"", folder, 2, "fennick: " + folder + ": is a directory", ""},
      {"", "/dev/zero", 2, "fennick: /dev/zero: is not a regular file", ""},
      {"", longWalk, 2, "fennick: " + longWalk + ":2: the line is longer than 64 KiB", ""},
      {"", after, 2, "fennick: " + after + ":6: the walk goes on after `save cancel` with `press Next`", ""},
      // The save answer loses its spaces, as the interactive prompt's does.
      {toSave + "save \"  " + mst.string() + "  \"\n", "", 0, "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file.empty() ? c.walk : c.file);
    const auto run = c.file.empty() ? replay(scratch, demo, c.walk)
                                    : runProcess({FENNICK_TOOL, "--replay", c.file, demo.string()}, scratch);
    EXPECT_EQ(run.exitCode, c.status) << run.err;
    EXPECT_NE(run.err.find(c.err), std::string::npos) << run.err;
    if (!c.out.empty()) {
      EXPECT_EQ(run.out, c.out);
    }
  }
  EXPECT_TRUE(fs::exists(mst));
}

TEST(ToolWalk, ADoublingPropertyStopsTheRunWithStatusOne) {
  // The demo with 24 custom actions that each double X: unbounded, 16 bytes would become 256 MiB.
  Archives archives = demoArchives();
  archives["CustomAction.idt"] = "Action\tType\tSource\tTarget\r\ns72\ti2\tS72\tS255\r\nCustomAction\tAction\r\n";
  for (int i = 1; i <= 24; ++i) {
    archives["CustomAction.idt"] += "Grow" + std::to_string(i) + "\t51\tX\t[X][X]\r\n";
    archives["InstallUISequence.idt"] += "Grow" + std::to_string(i) + "\t\t" + std::to_string(100 + i) + "\r\n";
  }
  archives["Property.idt"] += "X\t0123456789abcdef\r\n";
  const auto scratch = scratchDir();
  const auto run = replay(scratch, buildPackage(scratch, archives), "save \"out.mst\"\n");
  EXPECT_EQ(run.exitCode, 1) << run.err;
  EXPECT_NE(run.err.find("fennick: property `X` set by action `Grow17`: a value of 2097152 bytes is more than a "
                         "property may hold (1 MiB); the session stops\n"),
            std::string::npos)
      << run.err;
  EXPECT_FALSE(fs::exists(scratch / "out.mst"));
}

}  // namespace
}  // namespace fennick::test
