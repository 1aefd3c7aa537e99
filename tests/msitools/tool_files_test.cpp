// The files a run touches: a private scratch folder that parallel runs share without mixing
// their transforms, and outputs that never destroy an input, a device or a file that stood
// at a save path that then fails.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <future>

#include "tests/support/msitools.h"
#include "tests/peer/process.h"
#include "tests/support/fixtures.h"
#include "tests/support/tool_runs.h"

namespace fennick::test {
namespace {

namespace fs = std::filesystem;
using peer::runProcess;

// The demo package, its Property table edited by `edit` when given.
fs::path BuildDemo(const fs::path& folder, const std::string& name,
                   const std::function<void(std::string&)>& edit = {}) {
  Archives archives = demoArchives();
  if (edit) edit(archives.at("Property.idt"));
  return buildPackage(folder, archives, name);
}

void WithoutProductCode(std::string& properties) {
  const auto at = properties.find("ProductCode\t");
  properties.erase(at, properties.find("\r\n", at) + 2 - at);
}

std::string DemoWalk(const std::string& folder, const fs::path& save) {
  return "press Next\nset Folder \"C:\\\\" + folder + "\\\\\"\npress Next\npress Next\npress Install\nsave \"" +
         save.string() + "\"\n";
}

// Runs the tool headless with TMPDIR set (through env(1), so parallel runs can differ).
peer::ProcessResult Replay(const fs::path& scratch, const fs::path& tmpdir, const std::string& walk,
                           const fs::path& package, const std::vector<std::string>& options = {}) {
  static std::atomic<int> counter{0};
  // A folder of its own per run: the captured output lives there.
  const fs::path own = scratch / ("run" + std::to_string(counter++));
  fs::create_directories(own);
  return replay(own, package, walk, options, {"-u", "XDG_RUNTIME_DIR", "TMPDIR=" + tmpdir.string()});
}

std::string Show(const fs::path& scratch, const fs::path& mst) {
  return runProcess({FENNICK_MSI_CLI, "transform", "show", mst.string()}, scratch).out;
}

TEST(ToolFiles, ParallelRunsSharingTheTempFolderEachWriteTheirOwnTransform) {
  const auto scratch = scratchDir();
  constexpr int kRuns = 8;
  std::vector<fs::path> packages;
  for (int i = 0; i < kRuns; ++i)
    packages.push_back(BuildDemo(scratch, "p" + std::to_string(i) + ".msi", [i](std::string& text) {
      text.replace(text.find("Fennick Demo"), 12, "Demo " + std::to_string(i));
    }));
  // Each alone first, in a folder of its own.
  std::vector<std::string> alone;
  for (int i = 0; i < kRuns; ++i) {
    const fs::path mst = scratch / ("alone" + std::to_string(i) + ".mst");
    const fs::path tmp = scratch / ("tmp-alone" + std::to_string(i));
    fs::create_directories(tmp);
    const auto run = Replay(scratch, tmp, DemoWalk("Dir" + std::to_string(i), mst), packages[i]);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    alone.push_back(Show(scratch, mst));
  }
  // Then all at once, sharing one temp folder.
  const fs::path shared = scratch / "tmp-shared";
  fs::create_directories(shared);
  std::vector<std::future<peer::ProcessResult>> runs;
  for (int i = 0; i < kRuns; ++i)
    runs.push_back(std::async(std::launch::async, [&, i] {
      return Replay(scratch, shared, DemoWalk("Dir" + std::to_string(i), scratch / ("together" + std::to_string(i) + ".mst")),
                    packages[i]);
    }));
  for (int i = 0; i < kRuns; ++i) {
    const auto run = runs[i].get();
    EXPECT_EQ(run.exitCode, 0) << i << ": " << run.err;
    EXPECT_EQ(Show(scratch, scratch / ("together" + std::to_string(i) + ".mst")), alone[i]) << i;
  }
  // The scratch folder is the user's alone.
  struct stat info {};
  ASSERT_EQ(::stat((shared / ("fennick-" + std::to_string(::getuid()))).c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0700u);
}

TEST(ToolFiles, ScratchFolderThatIsNotPrivateIsRefused) {
  const auto scratch = scratchDir();
  const fs::path package = BuildDemo(scratch, "demo.msi");
  const std::string user = "fennick-" + std::to_string(::getuid());
  const fs::path linked = scratch / "linked", open = scratch / "open", elsewhere = scratch / "elsewhere";
  fs::create_directories(linked);
  fs::create_directories(elsewhere);
  fs::create_symlink(elsewhere, linked / user);
  fs::create_directories(open / user);
  fs::permissions(open / user, fs::perms::all);
  for (const auto& [tmp, cause] : {std::pair{linked, "symbolic link"}, std::pair{open, "open to other users"}}) {
    const auto run = Replay(scratch, tmp, DemoWalk("X", scratch / "x.mst"), package);
    EXPECT_EQ(run.exitCode, 1) << run.err;
    EXPECT_NE(run.err.find(cause), std::string::npos) << run.err;
    EXPECT_NE(run.err.find(user), std::string::npos) << run.err;
  }
  EXPECT_TRUE(fs::is_empty(elsewhere));
  EXPECT_FALSE(fs::exists(scratch / "x.mst"));
}

// A failed save too leaves the file that stood at its path.
TEST(ToolFiles, OutputsNeverReplaceTheirInputsOrDevices) {
  const auto scratch = scratchDir();
  const fs::path package = BuildDemo(scratch, "self.msi");
  const std::string before = ReadText(package);
  // Without ProductCode the transform's summary cannot be made.
  const fs::path nocode = BuildDemo(scratch, "nocode.msi", WithoutProductCode), kept = scratch / "kept.mst";
  std::ofstream(kept) << "an earlier transform";
  struct Case {
    const char* name;
    fs::path package, save;
    std::vector<std::string> options;
    const char* message;
  };
  const Case cases[] = {
      {"save over the package", package, package, {}, "which this run reads"},
      {"save over a folder", package, scratch, {}, "is a folder"},
      {"save to a device", package, "/dev/null", {}, "not a regular file"},
      {"dump over the package", package, scratch / "t.mst", {"--dump-tables", package.string()}, "which this run reads"},
      {"failed save", nocode, kept, {}, "ProductCode"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto run = Replay(scratch, scratch, DemoWalk("X", c.save), c.package, c.options);
    EXPECT_EQ(run.exitCode, 1) << run.err;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    EXPECT_EQ(ReadText(package), before);
  }
  EXPECT_EQ(ReadText(kept), "an earlier transform");
  for (const auto& e : fs::directory_iterator(scratch))
    EXPECT_EQ(e.path().filename().string().find(".kept.mst."), std::string::npos) << "left behind: " << e.path();
  struct stat info {};
  ASSERT_EQ(::stat("/dev/null", &info), 0);
  EXPECT_TRUE(S_ISCHR(info.st_mode));
}

TEST(ToolFiles, EngineCommandsRefuseAnInputAsTheirOutput) {
  const auto scratch = scratchDir();
  const fs::path base = BuildDemo(scratch, "base.msi");
  const fs::path changed = BuildDemo(scratch, "changed.msi", [](std::string& text) {
    text.replace(text.find("Fennick Demo"), 12, "Other Demo");
  });
  const fs::path mst = scratch / "t.mst";
  ASSERT_EQ(runProcess({FENNICK_MSI_CLI, "transform", "generate", changed.string(), base.string(), mst.string()},
                       scratch).exitCode, 0);
  const std::string before = ReadText(base), transform = ReadText(mst);
  const std::vector<std::vector<std::string>> commands = {
      {"transform", "generate", changed.string(), base.string(), base.string()},
      {"transform", "generate", changed.string(), base.string(), changed.string()},
      {"transform", "apply", base.string(), mst.string(), base.string()},
      {"transform", "apply", base.string(), mst.string(), mst.string()},
  };
  for (const auto& command : commands) {
    std::vector<std::string> argv = {FENNICK_MSI_CLI};
    argv.insert(argv.end(), command.begin(), command.end());
    const auto run = runProcess(argv, scratch);
    EXPECT_NE(run.exitCode, 0) << command[1] << " " << command.back();
    EXPECT_NE(run.err.find("is also an input"), std::string::npos) << run.err;
  }
  EXPECT_EQ(ReadText(base), before);
  EXPECT_EQ(ReadText(mst), transform);
  // A failed generate (no ProductCode to summarise) leaves the file that stood at OUT.
  const fs::path nocode = BuildDemo(scratch, "nocode.msi", WithoutProductCode);
  EXPECT_EQ(runProcess({FENNICK_MSI_CLI, "transform", "generate", nocode.string(), base.string(), mst.string()},
                       scratch).exitCode, 1);
  EXPECT_EQ(ReadText(mst), transform);
}

}  // namespace
}  // namespace fennick::test
