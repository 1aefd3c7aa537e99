// The transform carries every choice of a walk: the tool replays walks over packages built
// from the demo (each with one trap that lost choices before) and over the real fixtures,
// and Wine's installer service, given the package and the transform, must end up with the
// feature states and property values the walk chose.
#include <gtest/gtest.h>

#include <map>

#include "tests/support/msitools.h"
#include "tests/peer/our_session.h"
#include "tests/peer/probe.h"
#include "tests/support/fixtures.h"
#include "tests/support/table_sections.h"
#include "tests/support/tool_runs.h"

namespace fennick::test {
namespace {

namespace fs = std::filesystem;
using peer::outputOf;

// A replay and what it chose, read back from its table dump: each feature's request state when
// ExecuteAction was reached, and each watched property's value after the run.
struct ToolRun {
  peer::ProcessResult process;
  fs::path transform;
  std::vector<std::pair<std::string, int>> features;
  std::map<std::string, std::string> properties;  // watched, final values
  std::map<std::string, std::string> changed;     // the subset that differs from the package
};

// Replays `walk` (a `save` line is added when it has none) with a table dump.
ToolRun Replay(const fs::path& scratch, const fs::path& package, std::string walk) {
  ToolRun run;
  run.transform = scratch / "choices.mst";
  if (walk.find("\nsave ") == std::string::npos) walk += "\nsave \"" + run.transform.string() + "\"\n";
  run.process = replay(scratch, package, walk, {"--dump-tables", (scratch / "dump.txt").string()});
  for (const auto& [section, rows] : readDump(scratch / "dump.txt"))
    for (const auto& f : rows) {
      if (f.size() < 2) continue;
      if (section == "lvProperty") run.properties[f[0]] = f[1];
      if (section == "lvPropertyChanged") run.changed[f[0]] = f[1];
      if (section == "lvFeatureChanged") run.features.emplace_back(f[0], std::stoi(f[1]));
    }
  for (const auto& [name, value] : run.changed) run.properties[name] = value;
  return run;
}

// A feature state of the dump as Wine's probe writes it.
std::string ActionWord(int state) { return peer::stateWord(static_cast<msi::InstallState>(state)); }

// The transform applied by Wine's installer service: Wine's session before ExecuteAction must
// end with every feature state and every property value the walk changed.
void ExpectWineReproduces(const fs::path& scratch, const fs::path& package, const ToolRun& run) {
  if (const std::string why = peer::probeUnavailable(); !why.empty()) {
    std::cout << "[ SKIPPED  ] the Wine half: " << why << "\n";
    return;
  }
  const fs::path applied = scratch / "wine-applied.msi";
  peer::probeOutput({"apply", package.string(), run.transform.string(), applied.string(), (scratch / "wine-export").string()},
                    scratch);
  std::vector<std::string> args;
  for (const auto& [name, value] : run.properties) args.insert(args.end(), {"--property", name});
  const peer::WineSession wine = peer::runSession(applied, args, scratch);
  for (const auto& [feature, state] : run.features) {
    const std::string word = wine.features.count(feature) ? wine.features.at(feature) : "missing";
    if (state == -1 || state == 2)  // not to be installed: a fresh install does nothing with it
      EXPECT_TRUE(word == "unknown" || word == "absent") << feature << " chosen " << state << ", Wine " << word;
    else
      EXPECT_EQ(word, ActionWord(state)) << feature;
  }
  for (const auto& [name, value] : run.changed) {
    const std::string got = wine.properties.count(name) ? wine.properties.at(name) : "<none>";
    // ALLUSERS 2 lets the installer choose the context; Wine runs as an administrator.
    if (name == "ALLUSERS" && value == "2")
      EXPECT_EQ(got, "1");
    else
      EXPECT_EQ(got, value) << name;
  }
}

void ExpectReproducedByOurCheck(const ToolRun& run) {
  EXPECT_EQ(run.process.exitCode, 0) << run.process.err;
  EXPECT_NE(run.process.out.find(run.transform.string() + ": "), std::string::npos) << run.process.out;
  EXPECT_NE(run.process.out.find("changed; applying it reproduces your choices"), std::string::npos)
      << run.process.out;
  EXPECT_EQ(run.process.err.find("does not reproduce"), std::string::npos) << run.process.err;
}

// The shipped example walk, without its save line.
std::string DemoWalk() {
  const std::string walk = sourceText("examples/demo.walk");
  return walk.substr(0, walk.find("save "));
}

const fs::path kCases = fs::path(FENNICK_SOURCE_DIR) / "tests/msitools/demo-choices.txt";

// The demo package changed as case `c` of demo-choices.txt says, and the case's walk.
fs::path EditedDemo(const fs::path& scratch, std::map<std::string, std::vector<std::string>>& c, std::string& walk) {
  Archives archives = demoArchives();
  for (const auto& [part, rows] : c)
    for (const std::string& row : rows) {
      if (part == "archives") addArchives(archives, kCases.parent_path() / row);
      if (part == "dropped") archives[row].clear();
      if (part.starts_with("without ")) replaceIn(archives, part.substr(8), row + "\r\n", "");
    }
  for (const auto& [part, rows] : c)  // rows added after those taken out
    if (part.ends_with(".idt") && !part.starts_with("without "))
      for (const std::string& row : rows) archives[part] += row + "\r\n";
  walk = c.count("walk") ? "" : DemoWalk();
  for (const std::string& line : c["walk"]) walk += line + "\n";
  return buildPackage(scratch, archives);
}

class DemoChoices : public ::testing::TestWithParam<std::string> {};

TEST_P(DemoChoices, WineReproducesTheWalk) {
  auto c = tableSections(kCases, GetParam());
  const auto scratch = scratchDir();
  std::string walk;
  const fs::path package = EditedDemo(scratch, c, walk);
  if (HasFailure()) return;
  const ToolRun run = Replay(scratch, package, walk);
  ExpectReproducedByOurCheck(run);
  for (const std::string& row : c["changed"]) {
    const auto f = split(row, '\t');
    ASSERT_TRUE(run.changed.count(f[0])) << f[0] << " not recorded as changed";
    EXPECT_EQ(run.changed.at(f[0]), f.at(1)) << f[0];
  }
  const auto show = outputOf({FENNICK_MSI_CLI, "transform", "show", run.transform.string(), package.string()}, scratch);
  for (const auto& line : c["shown"]) EXPECT_NE(show.find(line), std::string::npos) << line << "\n" << show;
  for (const auto& text : c["not shown"]) EXPECT_EQ(show.find(text), std::string::npos) << text << "\n" << show;
  ExpectWineReproduces(scratch, package, run);
}

INSTANTIATE_TEST_SUITE_P(Tool, DemoChoices,
                         ::testing::Values("DemoWalk", "MondoTypical", "MondoComplete", "AllUsersEvent",
                                           "DisabledAndQuotedFeatures", "EntireFeature", "Advertise", "ProductKey"),
                         [](const auto& info) { return info.param; });

// Packages that lack a table the tool reads: the run goes on (the cases of demo-choices.txt that
// say how it ends).
TEST(ToolChoices, MissingTablesAreEmptyListsNotFailures) {
  for (const char* name : {"NoDialogs", "NoDialogsNoFeatures", "NoPropertyTable"}) {
    SCOPED_TRACE(name);
    auto c = tableSections(kCases, name);
    const auto scratch = scratchDir() / name;
    fs::create_directories(scratch);
    std::string walk;
    const fs::path package = EditedDemo(scratch, c, walk);
    const ToolRun run = Replay(scratch, package, walk);
    const auto ends = split(c.at("ends").at(0), '\t');
    EXPECT_EQ(std::to_string(run.process.exitCode), ends.at(0)) << run.process.err;
    EXPECT_NE(run.process.err.find(ends.at(1)), std::string::npos) << run.process.err;
    EXPECT_EQ(run.process.err.find("unknown table"), std::string::npos) << run.process.err;
    EXPECT_FALSE(fs::exists(run.transform));
    if (ends.at(0) == "6") {
      EXPECT_EQ(run.process.out, "no transform written: your answers leave the package unchanged\n");
    }
  }
}

// Every fixture walk that reaches the save prompt.
TEST(ToolChoices, FixtureWalksAreReproducedByWineAndByTheCheck) {
  FENNICK_REQUIRE_FIXTURES();
  // The Python msilib package's Next button sets TARGETDIR to SourceDir after costing, so
  // TARGETDIRX, resolved under the old TARGETDIR, cannot be reproduced by a transform that
  // holds the new one: the check must say so, and everything else (an advertised feature
  // too) must still hold.
  const char* const kOtherPython = "pymsilib-otherpython.walk";
  const char* const kAdvertisePython = "pymsilib-advertise.walk";
  const std::pair<const char*, const char*> walks[] = {
      {"putty-featuretree.walk", "ui-wix3-putty-installdir-featuretree/putty-0.68-installer.msi"},
      {"putty-browse.walk", "ui-wix3-putty-installdir-featuretree/putty-0.68-installer.msi"},
      {"winget-folder.walk", "ui-vsinstaller-winget/AppInstallerTestMsiInstaller.msi"},
      {"filetype-browse.walk", "ui-vsinstaller-filetype-small/fixture.msi"},
      {kOtherPython, "ui-pymsilib-irida-pythonfeatures/iridaUploader-0.1.win32.msi"},
      {kAdvertisePython, "ui-pymsilib-irida-pythonfeatures/iridaUploader-0.1.win32.msi"},
  };
  for (const auto& [walk, package] : walks) {
    SCOPED_TRACE(walk);
    const auto scratch = scratchDir() / walk;
    fs::create_directories(scratch);
    const ToolRun run =
        Replay(scratch, fixture(package), sourceText(std::string("tests/dialogs/walks/") + walk));
    if (walk == std::string(kOtherPython) || walk == std::string(kAdvertisePython)) {
      EXPECT_EQ(run.process.exitCode, 0) << run.process.err;
      EXPECT_NE(run.process.err.find("property TARGETDIRX: chosen \"C:\\PythonX\\\""), std::string::npos)
          << run.process.err;
      EXPECT_EQ(run.changed.count("ALLUSERS") ? run.changed.at("ALLUSERS") : "", "1");
    } else {
      ExpectReproducedByOurCheck(run);
    }
    ExpectWineReproduces(scratch, fixture(package), run);

    // The same check for scripts: the session the package with the transform yields.
    const auto check = outputOf({FENNICK_MSI_CLI, "transform", "check", fixture(package).string(),
                                 run.transform.string()}, scratch);
    std::map<std::string, std::string> states;
    for (const std::string& line : lines(check))
      if (const auto f = split(line, '\t'); f.size() == 3 && f[0] == "feature") states[f[1]] = f[2];
    for (const auto& [feature, state] : run.features)
      EXPECT_EQ(states[feature], ActionWord(state == 2 ? -1 : state)) << feature;
  }
  // A walk that keeps every default leaves nothing to write.
  const auto scratch = scratchDir() / "gaze";
  fs::create_directories(scratch);
  const ToolRun gaze = Replay(scratch, fixture("ui-wix3-minimal-gaze/GazeToolbarInstall.msi"),
                              sourceText("tests/dialogs/walks/gaze-minimal.walk"));
  EXPECT_EQ(gaze.process.exitCode, 6) << gaze.process.err;
  EXPECT_FALSE(fs::exists(gaze.transform));
}

}  // namespace
}  // namespace fennick::test
