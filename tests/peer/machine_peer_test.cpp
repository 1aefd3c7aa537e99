// The machine against Wine's installer service: the same .reg file imported into a Wine prefix
// (`regedit /S`) and given to our session as machine content, the same files, folders and
// .ini values on both disks, and AppSearch results, CCPSearch, conditions, feature states and directories
// compared: on a package built here with a locator search of every kind, and on every
// fixture.
//
// The shared prefix stays as it is: the test runs Wine in a prefix of its own whose registry
// files are copies and whose drive C: links to the shared one's folders beside a folder of
// the test's own.
#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <map>

#include <gtest/gtest.h>

#include "engine/session/machine_file.h"
#include "engine/session/sequence_runner.h"
#include "engine/session/session.h"
#include "engine/session/table_rows.h"
#include "tests/peer/our_session.h"
#include "tests/peer/probe.h"
#include "tests/support/fixtures.h"
#include "tests/support/msitools.h"
#include "tests/support/table_sections.h"

namespace fennick::test {
using namespace fennick::peer;
namespace {
namespace fs = std::filesystem;

// The registry both sides search (as UTF-8; written as UTF-16 below), the machine with the files
// and .ini values on both disks, and the package built here with a locator search of every kind,
// as table archives.
const fs::path kLocators = fs::absolute(fs::path(__FILE__).parent_path() / "locators");

// A prefix for this test: copies of the registry files, drive C: linking to the shared
// prefix's folders beside the test's own folder.
fs::path OwnPrefix(const fs::path& scratch) {
  const char* shared = std::getenv("FENNICK_WINEPREFIX");
  const fs::path from = shared ? fs::path(shared) : fs::path(std::getenv("HOME")) / ".cache/fennick/wineprefix";
  const fs::path to = scratch / "prefix";
  fs::remove_all(to);
  fs::create_directories(to / "drive_c");
  fs::create_directories(to / "dosdevices");
  for (const char* file : {"system.reg", "user.reg", "userdef.reg", ".update-timestamp"})
    if (fs::exists(from / file)) fs::copy_file(from / file, to / file);
  for (const auto& entry : fs::directory_iterator(from / "drive_c"))
    fs::create_directory_symlink(entry.path(), to / "drive_c" / entry.path().filename());
  fs::create_directory_symlink("../drive_c", to / "dosdevices" / "c:");
  fs::create_directory_symlink("/", to / "dosdevices" / "z:");
  fs::create_directories(to / "drive_c/FennickProbe");
  fs::copy_file(kLocators / "probe.ini", to / "drive_c/FennickProbe/probe.ini");
  for (const std::string& line : lines(ReadText(kLocators / "probe.machine"))) {
    if (!line.starts_with("file C:\\")) continue;
    std::string unix = line.substr(8, line.find(" size ") - 8);
    std::replace(unix.begin(), unix.end(), '\\', '/');
    fs::create_directories((to / "drive_c" / unix).parent_path());
    const std::size_t size = std::stoul(line.substr(line.find(" size ") + 6));
    std::ofstream(to / "drive_c" / unix, std::ios::binary) << std::string(size, 'x');
  }
  return to;
}

// Runs Wine in `prefix` for the length of a scope, and stops its server after.
class PrefixScope {
 public:
  explicit PrefixScope(const fs::path& prefix) : prefix_(prefix) {
    const char* old = std::getenv("FENNICK_WINEPREFIX");
    if (old) old_ = old;
    setenv("FENNICK_WINEPREFIX", prefix.c_str(), 1);
  }
  ~PrefixScope() {
    const fs::path loader = fs::path(__FILE__).parent_path().parent_path().parent_path() / "scripts/wine-loader.sh";
    runProcess({"bash", "-c", "source \"$1\" && wine_find_loader && WINEPREFIX=\"$2\" \"$WINE_SERVER\" -k", "stop",
                loader.string(), prefix_.string()},
               prefix_);
    if (old_)
      setenv("FENNICK_WINEPREFIX", old_->c_str(), 1);
    else
      unsetenv("FENNICK_WINEPREFIX");
  }

 private:
  fs::path prefix_;
  std::optional<std::string> old_;
};

std::string MachineFile(const fs::path& scratch) {
  // As the registry editor exports it: UTF-16LE with a byte-order mark. (Wine's registry
  // editor reads hex(2) bytes as ANSI text in a file that is not UTF-16.)
  std::string exported = "\xFF\xFE";
  for (const char c : ReadText(kLocators / "probe.reg")) exported += {c, '\0'};
  std::ofstream(scratch / "probe.reg", std::ios::binary) << exported;
  fs::copy_file(kLocators / "probe.machine", scratch / "probe.machine");
  return (scratch / "probe.machine").string();
}

// AppSearch property -> what it searches. Built with msitools, not by us.
fs::path LocatorPackage(const fs::path& dir) {
  std::vector<fs::path> archives;
  for (const auto& e : fs::directory_iterator(kLocators))
    if (e.path().extension() == ".idt") archives.push_back(e.path());
  EXPECT_EQ(msibuild(dir / "locators.msi", archives,
                     {"Locators", "Fennick", "x64;1033", "{8E2F4A6C-3B5D-4E7F-A091-B2C3D4E5F607}"}),
            "");
  return dir / "locators.msi";
}

std::vector<std::string> AppSearchProperties(const fs::path& pkg) {
  auto db = msi::Database::open(pkg, msi::OpenMode::ReadOnly);
  const msi::TableRows rows(*db, "AppSearch", {"Property"});
  std::vector<std::string> names{"CCP_Success"};
  for (std::size_t i = 0; i < rows.size(); ++i) names.push_back(rows.text(i, 0));
  return names;
}

WineSession Wine(const fs::path& pkg, const std::vector<std::string>& properties, const fs::path& scratch) {
  std::vector<std::string> args;
  for (const std::string& p : properties) args.insert(args.end(), {"--property", p});
  return runSession(pkg, args, scratch);
}

// Our session's AppSearch results, feature states and directories, as the probe reports Wine's.
WineSession Ours(const fs::path& pkg, const std::vector<std::string>& properties, const msi::EmulatedMachine& machine) {
  const auto session = ourSession(pkg, machine);
  WineSession ours;
  for (const std::string& p : properties) ours.properties[p] = session->property(p);
  readStates(*session, ours, "");
  return ours;
}

// Differences between the two sides; directories only where our path starts with a value
// AppSearch found (the rest is compared by the session peer test).
std::string Differences(const std::string& name, const WineSession& ours, const WineSession& wine) {
  std::map<std::string, std::string> searched, found, wineFound;  // Wine reports the Property table too
  for (const auto& [p, value] : ours.properties)
    if (wine.properties.count(p)) searched[p] = wine.properties.at(p);
  for (const auto& [d, path] : ours.directories)
    for (const auto& [p, value] : ours.properties)
      if (!value.empty() && value.find('\\') != std::string::npos && path.starts_with(value)) {
        found[d] = path;
        if (wine.directories.count(d)) wineFound[d] = wine.directories.at(d);
      }
  return differencesOf(name, "property", ours.properties, searched) +
         differencesOf(name, "feature", ours.features, wine.features) + differencesOf(name, "directory", found, wineFound);
}

TEST(MachinePeer, RegistryFilesAndFoldersAreSearchedAsWineSearchesThem) {
  FENNICK_REQUIRE_PROBE();
  const fs::path scratch = fennick::test::scratchDir();
  const fs::path prefix = OwnPrefix(scratch);
  PrefixScope scope(prefix);
  std::string regPath = "Z:" + (scratch / "probe.reg").string();
  const msi::EmulatedMachine machine = msi::loadMachine(MachineFile(scratch));
  std::replace(regPath.begin(), regPath.end(), '/', '\\');
  const ProcessResult imported = runProcess(
      {fennick::peer::wineRunPath().string(), "regedit", "/S", regPath}, scratch);
  ASSERT_EQ(imported.exitCode, 0) << imported.err;

  // The package built here: every locator, both views, depths and size bounds.
  const fs::path built = scratch / "built";
  fs::create_directories(built);
  const fs::path pkg = LocatorPackage(built);
  const auto properties = AppSearchProperties(pkg);
  const WineSession ours = Ours(pkg, properties, machine);
  const WineSession wine = Wine(pkg, properties, scratch);
  std::string differences = Differences("locators.msi", ours, wine);
  // What the package's searches are meant to find, so that agreement is not agreement on
  // finding nothing.
  for (const auto& f : caseRows(kLocators / "found.txt")) EXPECT_EQ(ours.properties.at(f[0]), f.at(1)) << f[0];
  EXPECT_EQ(ours.features.at("Found"), "local");

  // Every fixture, on the same machine.
  int searched = 0;
  for (const fs::path& fixture : fennick::test::fixturePackages()) {
    if (fixture.extension() != ".msi") continue;
    auto db = msi::Database::open(fixture, msi::OpenMode::ReadOnly);
    if (!db->hasTable("AppSearch")) continue;
    const auto names = AppSearchProperties(fixture);
    const WineSession fixtureOurs = Ours(fixture, names, machine);
    for (const auto& [p, value] : fixtureOurs.properties) searched += !value.empty();
    differences += Differences(fixture.filename().string(), fixtureOurs, Wine(fixture, names, scratch));
  }
  EXPECT_TRUE(differences.empty()) << "differences:" << differences;
  if (!fennick::test::fixturePackages().empty()) {
    EXPECT_GE(searched, 2);  // the two Pythons
  }
}

}  // namespace
}  // namespace fennick::test
