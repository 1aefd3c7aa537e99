// The machine against Wine's installer service: the same .reg file imported into a Wine prefix
// (`regedit /S`) and given to our session as machine content, the same files, folders and
// .ini values on both disks, and AppSearch results, CCPSearch, conditions, feature states and directories
// compared: on a package built here with a locator search of every kind, and on every
// fixture.
//
// The shared prefix stays as it is: the test runs Wine in a prefix of its own whose registry
// files are copies and whose drive C: links to the shared one's folders beside a folder of
// the test's own.
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>

#include <gtest/gtest.h>

#include "engine/session/machine_file.h"
#include "engine/session/sequence_runner.h"
#include "engine/session/session.h"
#include "engine/session/table_rows.h"
#include "tests/peer/probe.h"
#include "tests/support/fixtures.h"

namespace fennick::test {
using namespace fennick::peer;
namespace {
namespace fs = std::filesystem;

const char* const kRegistry =
    "Windows Registry Editor Version 5.00\r\n\r\n"
    "; what the built package searches\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\FennickProbe]\r\n"
    "\"Str\"=\"sixty-four\"\r\n"
    "\"Hash\"=\"#literal\"\r\n"
    "\"Num\"=dword:fffffffe\r\n"
    "\"Bin\"=hex:de,ad,01\r\n"
    "\"Exp\"=hex(2):25,00,50,00,72,00,6f,00,67,00,72,00,61,00,6d,00,44,00,61,00,74,\\\r\n"
    "  00,61,00,25,00,5c,00,46,00,00,00\r\n"
    "\"Dir\"=\"C:\\\\FennickProbe\\\\a\\\\\"\r\n"
    "\"Quoted\"=\"\\\"C:\\\\FennickProbe\\\\a\\\\b\\\\tool.exe\\\" /quiet\"\r\n"
    "\"File\"=\"C:\\\\FennickProbe\\\\a\\\\b\\\\tool.exe\"\r\n"
    "\"Missing\"=\"C:\\\\FennickProbe\\\\nowhere\\\\\"\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\FennickProbe]\r\n"
    "\"Str\"=\"thirty-two\"\r\n"
    "[HKEY_CURRENT_USER\\Software\\FennickProbe]\r\n"
    "@=\"user default\"\r\n"
    "\r\n"
    "; what the fixtures search: a Python for 32-bit programs, one for the user, and an old\r\n"
    "; PuTTY installation that only 64-bit programs see\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Python\\PythonCore\\3.7\\InstallPath]\r\n"
    "@=\"C:\\\\Python37\\\\\"\r\n"
    "[HKEY_CURRENT_USER\\Software\\Python\\PythonCore\\3.9\\InstallPath]\r\n"
    "@=\"C:\\\\Python39\\\\\"\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\PuTTY_is1]\r\n"
    "\"QuietUninstallString\"=\"C:\\\\PuTTY\\\\unins000.exe /SILENT\"\r\n";

// Files on both disks: path under C:\ and size.
const std::vector<std::pair<std::string, std::size_t>> kFiles = {
    {"FennickProbe\\a\\b\\tool.exe", 32}, {"FennickProbe\\a\\small.dat", 50}};
// An .ini file on both: its text for Wine, its values for our machine file.
const char* const kIniText = "[Paths]\r\nRaw=one, two,three\r\nDir=C:\\FennickProbe\\a\r\n";
const char* const kIniLines =
    "ini C:\\FennickProbe\\probe.ini Paths Raw=one, two,three\n"
    "ini C:\\FennickProbe\\probe.ini Paths Dir=C:\\FennickProbe\\a\n";

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
  std::ofstream(to / "drive_c/FennickProbe/probe.ini", std::ios::binary) << kIniText;
  for (const auto& [path, size] : kFiles) {
    std::string unix = path;
    for (char& c : unix)
      if (c == '\\') c = '/';
    fs::create_directories((to / "drive_c" / unix).parent_path());
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
  for (const char* c = kRegistry; *c; ++c) exported += {*c, '\0'};
  std::ofstream(scratch / "probe.reg", std::ios::binary) << exported;
  std::string text = "machine win10-x64\nregistry probe.reg\n";
  for (const auto& [path, size] : kFiles) text += "file C:\\" + path + " size " + std::to_string(size) + "\n";
  text += kIniLines;
  std::ofstream(scratch / "probe.machine") << text;
  return (scratch / "probe.machine").string();
}

void WriteIdt(const fs::path& file, const std::string& header, const std::vector<std::vector<std::string>>& rows) {
  std::ofstream out(file, std::ios::binary);
  out << header;
  for (const auto& row : rows) {
    for (std::size_t i = 0; i < row.size(); ++i) out << (i ? "\t" : "") << row[i];
    out << "\r\n";
  }
}

// AppSearch property -> what it searches. Built with msitools, not by us.
fs::path LocatorPackage(const fs::path& dir) {
  WriteIdt(dir / "Property.idt", "Property\tValue\r\ns72\tl0\r\nProperty\tProperty\r\n",
           {{"ProductCode", "{5C0A7E42-1B7F-4D8C-9E3A-2F6B8D4C1A09}"}, {"ProductLanguage", "1033"},
            {"ProductVersion", "1.0.0"}, {"Manufacturer", "Fennick"}, {"ProductName", "Locators"},
            {"PROBEKEY", "FennickProbe"}});
  const std::vector<std::vector<std::string>> search = {
      {"REGSTR32", "reg.str32", "2", "SOFTWARE\\FennickProbe", "Str", "2"},
      {"REGSTR64", "reg.str64", "2", "SOFTWARE\\FennickProbe", "Str", "18"},
      {"REGFORMATTED", "reg.formatted", "2", "SOFTWARE\\[PROBEKEY]", "Str", "18"},
      {"REGHASH", "reg.hash", "2", "SOFTWARE\\FennickProbe", "Hash", "18"},
      {"REGNUM", "reg.num", "2", "SOFTWARE\\FennickProbe", "Num", "18"},
      {"REGBIN", "reg.bin", "2", "SOFTWARE\\FennickProbe", "Bin", "18"},
      {"REGEXP", "reg.exp", "2", "SOFTWARE\\FennickProbe", "Exp", "18"},
      {"REGDIR", "reg.dir", "2", "SOFTWARE\\FennickProbe", "Dir", "16"},
      {"REGDIR32", "reg.dir32", "2", "SOFTWARE\\FennickProbe", "Dir", "0"},
      {"REGFILE", "tool.quoted", "2", "SOFTWARE\\FennickProbe", "Quoted", "17"},
      {"REGFOLDEROFFILE", "reg.folderof", "2", "SOFTWARE\\FennickProbe", "File", "17"},
      {"REGMISSING", "reg.missing", "2", "SOFTWARE\\FennickProbe", "Missing", "16"},
      {"REGUSER", "reg.user", "1", "Software\\FennickProbe", "", "2"},
      {"REGNOKEY", "reg.nokey", "2", "SOFTWARE\\NoSuchVendor", "Str", "18"},
  };
  std::vector<std::vector<std::string>> appSearch, regLocator;
  for (const auto& s : search) {
    appSearch.push_back({s[0], s[1]});
    regLocator.push_back({s[1], s[2], s[3], s[4], s[5]});
  }
  const std::vector<std::vector<std::string>> dr = {
      // property, signature, parent, path, depth
      {"DRROOT", "dr.root", "", "C:\\FennickProbe", "0"},
      {"DRCHILD", "dr.child", "dr.root", "a", ""},
      {"DRRELATIVE", "dr.relative", "", "FennickProbe\\a", "0"},
      {"DRDEEP", "tool.deep", "", "C:\\FennickProbe", "2"},
      {"DRSHALLOW", "tool.shallow", "", "C:\\FennickProbe", "1"},
      {"DRSIZED", "small.sized", "dr.root", "a", "0"},
      {"DRTOOSMALL", "small.toosmall", "dr.root", "a", "0"},
      {"DRFOLDERDEPTH", "dr.folderdepth", "", "C:\\FennickProbe\\b", "3"},
      {"DRUNDERFILE", "dr.underfile", "tool.deep", "", "0"},
  };
  std::vector<std::vector<std::string>> drLocator;
  for (const auto& d : dr) {
    appSearch.push_back({d[0], d[1]});
    drLocator.push_back({d[1], d[2], d[3], d[4]});
  }
  const std::vector<std::vector<std::string>> ini = {
      // property, signature, key, field, type
      {"INIRAW", "ini.raw", "Raw", "0", "2"},
      {"INIFIELD", "ini.field", "Raw", "2", "2"},
      {"INILAST", "ini.last", "Raw", "9", "2"},
      {"INIDIR", "ini.dir", "Dir", "", "0"},
      {"INIMISSING", "ini.missing", "Nothing", "", "2"},
  };
  std::vector<std::vector<std::string>> iniLocator;
  for (const auto& i : ini) {
    appSearch.push_back({i[0], i[1]});
    iniLocator.push_back({i[1], "C:\\FennickProbe\\probe.ini", "Paths", i[2], i[3], i[4]});
  }
  WriteIdt(dir / "IniLocator.idt",
           "Signature_\tFileName\tSection\tKey\tField\tType\r\ns72\ts255\ts96\ts128\tI2\tI2\r\n"
           "IniLocator\tSignature_\r\n",
           iniLocator);
  WriteIdt(dir / "AppSearch.idt", "Property\tSignature_\r\ns72\ts72\r\nAppSearch\tProperty\tSignature_\r\n", appSearch);
  WriteIdt(dir / "RegLocator.idt",
           "Signature_\tRoot\tKey\tName\tType\r\ns72\ti2\ts255\tS255\tI2\r\nRegLocator\tSignature_\r\n", regLocator);
  WriteIdt(dir / "DrLocator.idt",
           "Signature_\tParent\tPath\tDepth\r\ns72\tS72\tS255\tI2\r\nDrLocator\tSignature_\tParent\tPath\r\n",
           drLocator);
  WriteIdt(dir / "Signature.idt",
           "Signature\tFileName\tMinVersion\tMaxVersion\tMinSize\tMaxSize\tMinDate\tMaxDate\tLanguages\r\n"
           "s72\ts255\tS20\tS20\tI4\tI4\tI4\tI4\tS255\r\nSignature\tSignature\r\n",
           {{"tool.quoted", "tool.exe", "", "", "", "", "", "", ""},
            {"tool.deep", "TOOL.EXE", "", "", "", "", "", "", ""},
            {"tool.shallow", "tool.exe", "", "", "", "", "", "", ""},
            {"small.sized", "small.dat", "", "", "10", "100", "", "", ""},
            {"small.toosmall", "small.dat", "", "", "60", "", "", "", ""}});
  WriteIdt(dir / "CCPSearch.idt", "Signature_\r\ns72\r\nCCPSearch\tSignature_\r\n", {{"reg.missing"}, {"tool.deep"}});
  WriteIdt(dir / "Directory.idt", "Directory\tDirectory_Parent\tDefaultDir\r\ns72\tS72\tl255\r\nDirectory\tDirectory\r\n",
           {{"TARGETDIR", "", "SourceDir"}, {"DRCHILD", "TARGETDIR", "Child"}, {"REGDIR32", "TARGETDIR", "Dir32"}});
  WriteIdt(dir / "Feature.idt",
           "Feature\tFeature_Parent\tTitle\tDescription\tDisplay\tLevel\tDirectory_\tAttributes\r\n"
           "s38\tS38\tL64\tL255\tI2\ti2\tS72\ti2\r\nFeature\tFeature\r\n",
           {{"Found", "", "Found", "", "1", "1", "", "0"}, {"NotFound", "", "NotFound", "", "2", "1", "", "0"}});
  WriteIdt(dir / "Condition.idt", "Feature_\tLevel\tCondition\r\ns38\ti2\tS255\r\nCondition\tFeature_\tLevel\r\n",
           {{"Found", "0", "NOT REGSTR32 OR NOT DRDEEP"}, {"NotFound", "0", "NOT DRSHALLOW"}});
  WriteIdt(dir / "Component.idt",
           "Component\tComponentId\tDirectory_\tAttributes\tCondition\tKeyPath\r\ns72\tS38\ts72\ti2\tS255\tS72\r\n"
           "Component\tComponent\r\n",
           {{"C1", "{2B8C4D6E-0F1A-4B3C-8D5E-6F7A8B9C0D1E}", "DRCHILD", "0", "", ""},
            {"C2", "{3C9D5E7F-1A2B-4C4D-9E6F-7A8B9C0D1E2F}", "REGDIR32", "0", "", ""}});
  WriteIdt(dir / "FeatureComponents.idt", "Feature_\tComponent_\r\ns38\ts72\r\nFeatureComponents\tFeature_\tComponent_\r\n",
           {{"Found", "C1"}, {"NotFound", "C2"}});
  WriteIdt(dir / "InstallUISequence.idt", "Action\tCondition\tSequence\r\ns72\tS255\tI2\r\nInstallUISequence\tAction\r\n",
           {{"AppSearch", "", "100"}, {"CCPSearch", "", "500"}, {"CostInitialize", "", "800"},
            {"FileCost", "", "900"}, {"CostFinalize", "", "1000"}});
  const fs::path pkg = dir / "locators.msi";
  std::vector<std::string> argv{"msibuild", pkg.string()};
  for (const char* t : {"Property", "AppSearch", "RegLocator", "DrLocator", "IniLocator", "Signature", "CCPSearch", "Directory",
                        "Feature", "Condition", "Component", "FeatureComponents", "InstallUISequence"}) {
    argv.push_back("-i");
    argv.push_back((dir / (std::string(t) + ".idt")).string());
  }
  const ProcessResult built = runProcess(argv, dir);
  EXPECT_EQ(built.exitCode, 0) << built.err;
  const ProcessResult summary = runProcess(
      {"msibuild", pkg.string(), "-s", "Locators", "Fennick", "x64;1033", "{8E2F4A6C-3B5D-4E7F-A091-B2C3D4E5F607}"},
      dir);
  EXPECT_EQ(summary.exitCode, 0) << summary.err;
  return pkg;
}

struct Outcome {
  std::map<std::string, std::string> properties, features, directories;
};

std::vector<std::string> AppSearchProperties(const fs::path& pkg) {
  auto db = msi::Database::open(pkg, msi::OpenMode::ReadOnly);
  const msi::TableRows rows(*db, "AppSearch", {"Property"});
  std::vector<std::string> names{"CCP_Success"};
  for (std::size_t i = 0; i < rows.size(); ++i) names.push_back(rows.text(i, 0));
  return names;
}

Outcome Wine(const fs::path& pkg, const std::vector<std::string>& properties, const fs::path& scratch) {
  std::vector<std::string> args{"session", pkg.string()};
  for (const std::string& p : properties) args.insert(args.end(), {"--property", p});
  const ProcessResult run = runProbe(args, scratch);
  EXPECT_EQ(run.exitCode, 0) << pkg << ": " << run.err;
  Outcome wine;
  const auto records = parseRecords(run.out);
  for (const Record& r : recordsOf(records, "property")) wine.properties[r.at(0)] = r.at(1);
  for (const Record& r : recordsOf(records, "feature")) wine.features[r.at(0)] = r.at(1);
  for (const Record& r : recordsOf(records, "directory")) wine.directories[r.at(0)] = r.at(1);
  return wine;
}

std::string StateWord(msi::InstallState s) {
  switch (s) {
    case msi::InstallState::Absent: return "absent";
    case msi::InstallState::Local: return "local";
    case msi::InstallState::Source: return "source";
    case msi::InstallState::Advertised: return "advertised";
    default: return "unknown";
  }
}

Outcome Ours(const fs::path& pkg, const std::vector<std::string>& properties, const msi::EmulatedMachine& machine) {
  msi::SessionOptions options;
  options.uiLevel = msi::kUILevelNone;
  options.machine = machine;
  auto session = msi::Session::open(pkg, options);
  msi::SequenceOptions sequence;
  sequence.runDialogs = false;
  sequence.stopAtExecuteAction = false;
  msi::runSequence(*session, "InstallUISequence", sequence);
  Outcome ours;
  for (const std::string& p : properties) ours.properties[p] = session->property(p);
  if (const msi::FeatureTree* tree = session->featureTree())
    for (const auto& f : tree->entries()) ours.features[f.name] = StateWord(session->featureRequestState(f.name));
  if (const msi::DirectoryTree* tree = session->directoryTree())
    for (const auto& d : tree->entries()) ours.directories[d.key] = session->targetPath(d.key).value_or("");
  return ours;
}

// Differences between the two outcomes; directories only where one side's path starts with
// a value AppSearch found (the rest is compared by the session peer test).
std::string Differences(const std::string& name, const Outcome& ours, const Outcome& wine) {
  std::ostringstream out;
  for (const auto& [p, value] : ours.properties) {
    const std::string theirs = wine.properties.count(p) ? wine.properties.at(p) : "<none>";
    if (theirs != value) out << "\n  " << name << ": " << p << " = `" << value << "`, Wine `" << theirs << "`";
  }
  for (const auto& [f, state] : ours.features) {
    const std::string theirs = wine.features.count(f) ? wine.features.at(f) : "<none>";
    if (theirs != state) out << "\n  " << name << ": feature " << f << " " << state << ", Wine " << theirs;
  }
  for (const auto& [d, path] : ours.directories) {
    bool found = false;
    for (const auto& [p, value] : ours.properties)
      found |= !value.empty() && value.find('\\') != std::string::npos && path.starts_with(value);
    const std::string theirs = wine.directories.count(d) ? wine.directories.at(d) : "<none>";
    if (found && theirs != path) out << "\n  " << name << ": directory " << d << " " << path << ", Wine " << theirs;
  }
  return out.str();
}

TEST(MachinePeer, RegistryFilesAndFoldersAreSearchedAsWineSearchesThem) {
  FENNICK_REQUIRE_PROBE();
  const fs::path scratch = fennick::test::scratchDir();
  const fs::path prefix = OwnPrefix(scratch);
  PrefixScope scope(prefix);
  std::string regPath = "Z:" + (scratch / "probe.reg").string();
  const msi::EmulatedMachine machine = msi::loadMachine(MachineFile(scratch));
  for (char& c : regPath)
    if (c == '/') c = '\\';
  const ProcessResult imported = runProcess(
      {fennick::peer::wineRunPath().string(), "regedit", "/S", regPath}, scratch);
  ASSERT_EQ(imported.exitCode, 0) << imported.err;

  // The package built here: every locator, both views, depths and size bounds.
  const fs::path built = scratch / "built";
  fs::create_directories(built);
  const fs::path pkg = LocatorPackage(built);
  const auto properties = AppSearchProperties(pkg);
  const Outcome ours = Ours(pkg, properties, machine);
  const Outcome wine = Wine(pkg, properties, scratch);
  std::string differences = Differences("locators.msi", ours, wine);
  // What the package's searches are meant to find, so that agreement is not agreement on
  // finding nothing.
  EXPECT_EQ(ours.properties.at("REGSTR32"), "thirty-two");
  EXPECT_EQ(ours.properties.at("REGSTR64"), "sixty-four");
  EXPECT_EQ(ours.properties.at("REGNUM"), "#-2");
  EXPECT_EQ(ours.properties.at("REGBIN"), "#xDEAD01");
  EXPECT_EQ(ours.properties.at("REGFILE"), "C:\\FennickProbe\\a\\b\\tool.exe");
  EXPECT_EQ(ours.properties.at("DRDEEP"), "C:\\FennickProbe\\a\\b\\TOOL.EXE");
  EXPECT_EQ(ours.properties.at("DRSHALLOW"), "");
  EXPECT_EQ(ours.properties.at("CCP_Success"), "1");
  EXPECT_EQ(ours.properties.at("INIFIELD"), "two");
  EXPECT_EQ(ours.properties.at("INIDIR"), "C:\\FennickProbe\\a\\");
  EXPECT_EQ(ours.features.at("Found"), "local");

  // Every fixture, on the same machine.
  int searched = 0;
  for (const fs::path& fixture : fennick::test::fixturePackages()) {
    if (fixture.extension() != ".msi") continue;
    auto db = msi::Database::open(fixture, msi::OpenMode::ReadOnly);
    if (!db->hasTable("AppSearch")) continue;
    const auto names = AppSearchProperties(fixture);
    const Outcome fixtureOurs = Ours(fixture, names, machine);
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
