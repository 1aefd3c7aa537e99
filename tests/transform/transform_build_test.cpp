#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "src/driver/run_state.h"
#include "src/transform/transform.h"
#include "tests/support/fake_installer.h"

namespace fennick::transform {
namespace {

using test::FakePackage;
using Build = test::ToolRun;

TEST(InstallLevels, BaseTrimsSpacesAndRaisedAddsOne) {
  EXPECT_EQ(BaseLevel(" 3 "), "3");
  EXPECT_EQ(RaisedLevel(" 3 "), "4");
  EXPECT_EQ(RaisedLevel("100"), "101");
  EXPECT_EQ(RaisedLevel(""), "1");
  EXPECT_EQ(RaisedLevel("12abc"), "13");
  EXPECT_EQ(RaisedLevel("-5"), "-4");
  EXPECT_EQ(RaisedLevel("2.5"), "3.5");
  EXPECT_EQ(BaseLevel("\t3"), "\t3");  // only spaces are removed
  EXPECT_EQ(RaisedLevel("1 0"), "2");   // the number ends at the first blank after it
}

FakePackage Package() {
  return test::ReadFakePackage(std::filesystem::path(__FILE__).parent_path() / "packages.txt", {"package"});
}

TEST(TransformBuild, CopiesPersistentTablesWithProgress) {
  Build b(Package(), "t.mst");
  EXPECT_EQ(b.Matching("Export "), (std::vector<std::string>{"Export Control", "Export Feature",
                                                             "Export InstallUISequence", "Export Property"}));
  EXPECT_EQ(b.Matching("progress "), (std::vector<std::string>{"progress range 0..5", "progress value 1",
                                                               "progress value 2", "progress value 3",
                                                               "progress value 4"}));
}

TEST(TransformBuild, WritesChangedPropertiesAndLevelsDerivedFromStates) {
  Build b(Package(), "t.mst");
  EXPECT_EQ(b.status, driver::kExitTransformWritten);
  // ALLUSERS, cleared by the user, loses its row; OPT is assigned.
  EXPECT_EQ(b.Matching("Modify "),
            (std::vector<std::string>{"Modify 6 ALLUSERS|1", "Modify 3 OPT|b",
                                      "Modify 2 Adv||A||1|3||4",       // advertised: base level, attributes 4
                                      "Modify 2 Gone||G||1|4||0",      // left out: raised level
                                      "Modify 2 Local||L||1|3||0",     // local: base level
                                      "Modify 2 Absent||B||1|9||2"})); // absent: as in the package
  // Made in the scratch folder before the prompt, then put in place whole.
  const std::string scratch = b.scratch + "temp.mst";
  std::vector<std::string> tail(b.log->begin() + b.Position("unload progress"), b.log->end());
  tail.erase(std::remove(tail.begin(), tail.end(), "pump"), tail.end());
  ASSERT_GE(tail.size(), 6u);
  EXPECT_EQ(tail[1], "GenerateTransform " + scratch);
  EXPECT_EQ(tail[2], "CreateTransformSummaryInfo " + scratch + " 0 0");
  // Both databases are let go before the user is asked (the scratch folder is free then).
  EXPECT_EQ(tail[3].rfind("release Database", 0), 0u) << tail[3];
  EXPECT_EQ(tail[4].rfind("release Database", 0), 0u) << tail[4];
  EXPECT_EQ(tail[5], "save prompt");
  EXPECT_EQ(test::ReadText(b.temp / "t.mst"), "fake transform");
  EXPECT_FALSE(std::filesystem::exists(scratch));
  // The closed loop replays the package with the transform and finds the walk's choices.
  EXPECT_FALSE(b.Matching("ApplyTransform 0").empty());
  EXPECT_EQ(b.out.str(), (b.temp / "t.mst").string() +
                             ": 2 properties, 3 features changed; applying it reproduces your choices; "
                             "install with it on Windows: msiexec /i p.msi TRANSFORMS=t.mst\n");
  EXPECT_EQ(b.err.str(), "");
}

TEST(TransformBuild, CancelledPromptShowsTheMessageAndWritesNoTransform) {
  Build b(Package(), "");
  EXPECT_EQ(b.status, driver::kExitSaveCancelled);
  EXPECT_EQ(b.host.boxes, (std::vector<test::RecordingHost::Box>{
                             {"Transform creation cancelled by user", ui::BoxStyle::Critical, "Transform Cancelled"}}));
  EXPECT_FALSE(std::filesystem::exists(b.scratch + "temp.mst"));
  // The wind-down after a cancel: SessionDriver.WindDownReleasesSessionThenInstallerThenTablesWindow.
}

TEST(TransformBuild, PathEndsAtTheFirstNul) {
  Build b(Package(), std::string("x.mst") + std::string(5, '\0'));
  EXPECT_EQ(b.status, driver::kExitTransformWritten) << b.err.str();
  EXPECT_TRUE(std::filesystem::exists(b.temp / "x.mst"));
}

}  // namespace
}  // namespace fennick::transform
