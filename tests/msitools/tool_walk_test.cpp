// The tool replaying walks through the demo package's dialogs: walks that do not fit, cancels,
// bad walk files, and a package that grows a property without bound. (What a walk's transform
// does, applied by Wine's installer service: tool_choices_test.cpp.)
#include <gtest/gtest.h>

#include <fstream>

#include "tests/support/msitools.h"
#include "tests/peer/process.h"
#include "tests/support/fixtures.h"

namespace fennick::test {
namespace {

namespace fs = std::filesystem;
using peer::runProcess;


fs::path BuildDemo(const fs::path& scratch, fs::path src = fs::path(FENNICK_SOURCE_DIR) / "examples" / "demo") {
  const fs::path demo = scratch / "demo.msi";
  std::vector<std::string> argv = {FENNICK_MSI_CLI, "import", demo.string(), src.string()};
  for (const auto& e : fs::directory_iterator(src)) argv.push_back(e.path().filename().string());
  EXPECT_EQ(runProcess(argv, scratch).exitCode, 0);
  return demo;
}

fs::path WriteWalk(const fs::path& scratch, const std::string& text, const std::string& name = "walk.txt") {
  const fs::path walk = scratch / name;
  std::ofstream(walk) << text;
  return walk;
}

TEST(ToolWalk, WalkThatDoesNotFitStopsWithItsLineAndStatusTwo) {
  const auto scratch = scratchDir();
  const fs::path demo = BuildDemo(scratch);
  auto run = runProcess({FENNICK_TOOL, "--replay",
                         WriteWalk(scratch, "dialog WelcomeDlg\npress Next\ndialog FeaturesDlg\n").string(),
                         demo.string()}, scratch);
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_NE(run.err.find("walk.txt:3"), std::string::npos) << run.err;
}

TEST(ToolWalk, CancelInTheDialogsAndAtTheSavePrompt) {
  const auto scratch = scratchDir();
  const fs::path demo = BuildDemo(scratch);
  auto exited = runProcess({FENNICK_TOOL, "--replay", WriteWalk(scratch, "dialog WelcomeDlg\npress Cancel\n").string(),
                            demo.string()}, scratch);
  EXPECT_EQ(exited.exitCode, 4);
  EXPECT_NE(exited.err.find("Fennick: DoAction Error: An error occured executing action: WelcomeDlg\r\n\r\n"
                            "IDCANCEL, user terminated prematurely."),
            std::string::npos)
      << exited.err;
  auto cancelled = runProcess({FENNICK_TOOL, "--replay",
                               WriteWalk(scratch, "press Next\npress Next\npress Next\npress Install\nsave cancel\n").string(),
                               demo.string()}, scratch);
  EXPECT_EQ(cancelled.exitCode, 5) << cancelled.err;
  EXPECT_NE(cancelled.err.find("Fennick: Transform Cancelled: Transform creation cancelled by user"), std::string::npos);
}

TEST(ToolWalk, UnreadableOrOverlongWalksStopWithStatusTwo) {
  const auto scratch = scratchDir();
  const fs::path demo = BuildDemo(scratch);
  const std::string toSave = "press Next\npress Next\npress Next\npress Install\n";
  const std::pair<std::string, std::string> cases[] = {
      {scratch.string(), scratch.string() + ": is a directory"},
      {"/dev/zero", "/dev/zero: is not a regular file"},
      {WriteWalk(scratch, "press Next\npress \"" + std::string(70000, 'x') + "\"\n", "long.walk").string(),
       (scratch / "long.walk").string() + ":2: the line is longer than 64 KiB"},
      {WriteWalk(scratch, toSave + "save cancel\npress Next\n", "after.walk").string(),
       (scratch / "after.walk").string() + ":6: the walk goes on after `save cancel` with `press Next`"},
  };
  for (const auto& [walk, error] : cases) {
    auto run = runProcess({FENNICK_TOOL, "--replay", walk, demo.string()}, scratch);
    EXPECT_EQ(run.exitCode, 2) << walk << "\n" << run.err;
    EXPECT_NE(run.err.find("fennick: " + error), std::string::npos) << run.err;
  }
}

TEST(ToolWalk, SaveAnswerLosesItsSpacesAsTheInteractivePromptDoes) {
  const auto scratch = scratchDir();
  const fs::path demo = BuildDemo(scratch);
  const fs::path mst = scratch / "out.mst";
  const std::string walk = "press Next\npress Next\npress Next\npress Install\nsave \"  " + mst.string() + "  \"\n";
  auto run = runProcess({FENNICK_TOOL, "--replay", WriteWalk(scratch, walk).string(), demo.string()}, scratch);
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_TRUE(fs::exists(mst));
}

TEST(ToolWalk, ADoublingPropertyStopsTheRunWithStatusOne) {
  // The demo with 24 custom actions that each double X: unbounded, 16 bytes would become 256 MiB.
  const auto scratch = scratchDir();
  const fs::path src = scratch / "src";
  fs::copy(fs::path(FENNICK_SOURCE_DIR) / "examples" / "demo", src);
  std::string actions = "Action\tType\tSource\tTarget\r\ns72\ti2\tS72\tS255\r\nCustomAction\tAction\r\n";
  std::string sequence;
  for (int i = 1; i <= 24; ++i) {
    actions += "Grow" + std::to_string(i) + "\t51\tX\t[X][X]\r\n";
    sequence += "Grow" + std::to_string(i) + "\t\t" + std::to_string(100 + i) + "\r\n";
  }
  std::ofstream(src / "CustomAction.idt", std::ios::binary) << actions;
  std::ofstream(src / "InstallUISequence.idt", std::ios::binary | std::ios::app) << sequence;
  std::ofstream(src / "Property.idt", std::ios::binary | std::ios::app) << "X\t0123456789abcdef\r\n";
  const fs::path demo = BuildDemo(scratch, src);
  auto run = runProcess({FENNICK_TOOL, "--replay", WriteWalk(scratch, "save \"out.mst\"\n").string(), demo.string()},
                        scratch);
  EXPECT_EQ(run.exitCode, 1) << run.err;
  EXPECT_NE(run.err.find("fennick: property `X` set by action `Grow17`: a value of 2097152 bytes is more than a "
                         "property may hold (1 MiB); the session stops\n"),
            std::string::npos)
      << run.err;
  EXPECT_FALSE(fs::exists(scratch / "out.mst"));
}

}  // namespace
}  // namespace fennick::test
