// Machine files and the registry editor's .reg text: every value kind as the registry editor
// writes it, the two registry views, and faults named by line.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

#include "engine/session/machine_file.h"
#include "engine/session/reg_file.h"
#include "tests/support/table_sections.h"

namespace {

using msi::RegRoot;
using msi::RegValue;
using msi::RegView;

// A file of machines/ beside this test.
std::filesystem::path machinePath(const std::string& name) {
  return std::filesystem::path(__FILE__).parent_path() / "machines" / name;
}

std::string machineText(const std::string& name) {
  std::ifstream in(machinePath(name), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

msi::EmulatedMachine parse(std::string_view text, std::map<std::string, std::string> files = {}) {
  return msi::parseMachineFile(text, "test.machine", [&](const std::string& path) {
    auto it = files.find(path);
    if (it == files.end()) throw msi::Error(path + ": no such file");
    return it->second;
  });
}

TEST(RegFile, ReadsEveryValueKindAsTheRegistryEditorWritesIt) {
  // As exported by the registry editor (machines/app.reg, here made UTF-16LE with a
  // byte-order mark): CRLF line ends, a hex list continued over lines.
  const std::string text = machineText("app.reg");
  std::string bytes = "\xFF\xFE";
  for (unsigned char c : text) bytes += {static_cast<char>(c), '\0'};
  msi::Registry r;
  msi::applyRegText(msi::decodeTextFile(bytes), "app.reg", r);

  const std::string key = "SOFTWARE\\Vendor\\App";
  auto get = [&](const char* name) {
    return r.value(RegRoot::LocalMachine, key, name, RegView::Bits64).value_or(RegValue{});
  };
  EXPECT_EQ(get("").text(), "default");
  EXPECT_EQ(get("quoted").text(), "a \"b\" C:\\dir\\");  // names compare without case
  EXPECT_EQ(get("Count"), RegValue::dword(42));
  EXPECT_EQ(get("Negative").number(), 0xFFFFFFFFu);
  EXPECT_EQ(get("Bytes"), (RegValue{msi::kRegBinary, {0x01, 0xFF, 0x20}}));
  EXPECT_EQ(get("Empty"), (RegValue{msi::kRegBinary, {}}));
  EXPECT_EQ(get("Expand"), RegValue::string("%T%", msi::kRegExpandString));
  EXPECT_EQ(get("Multi").type, msi::kRegMultiString);
  EXPECT_EQ(get("Multi").strings(), (std::vector<std::string>{"a", "bc"}));
  EXPECT_EQ(get("Big").type, 11u);
  EXPECT_EQ(get("Big").data.size(), 8u);
  EXPECT_FALSE(r.value(RegRoot::LocalMachine, key, "Gone", RegView::Bits64));
  EXPECT_FALSE(r.keyExists(RegRoot::CurrentUser, "Software\\Old\\Sub", RegView::Bits64));
  EXPECT_TRUE(r.keyExists(RegRoot::CurrentUser, "Software", RegView::Bits64));
  // HKEY_CLASSES_ROOT is kept where Windows keeps it.
  EXPECT_EQ(r.value(RegRoot::LocalMachine, "SOFTWARE\\Classes\\.xyz", "", RegView::Bits64)->text(), "xyzfile");
  EXPECT_EQ(r.value(RegRoot::ClassesRoot, ".XYZ", "", RegView::Bits32)->text(), "xyzfile");
}

TEST(Registry, ThirtyTwoBitProgramsSeeSoftwareThroughWow6432NodeOnA64BitMachine) {
  msi::Registry r;
  msi::applyRegText(machineText("views.reg"), "views.reg", r);
  auto text = [&](RegRoot root, const char* key, const char* name, RegView view) {
    auto v = r.value(root, key, name, view);
    return v ? v->text() : std::string("<none>");
  };
  EXPECT_EQ(text(RegRoot::LocalMachine, "SOFTWARE\\V", "w", RegView::Bits64), "64");
  EXPECT_EQ(text(RegRoot::LocalMachine, "SOFTWARE\\V", "w", RegView::Bits32), "32");
  EXPECT_EQ(text(RegRoot::LocalMachine, "SOFTWARE\\Wow6432Node\\V", "w", RegView::Bits32), "32");
  EXPECT_EQ(text(RegRoot::LocalMachine, "SOFTWARE\\Classes\\.ext", "", RegView::Bits32), "shared");
  EXPECT_EQ(text(RegRoot::ClassesRoot, "CLSID\\{1}", "", RegView::Bits32), "32-bit class");
  EXPECT_EQ(text(RegRoot::ClassesRoot, "CLSID\\{1}", "", RegView::Bits64), "<none>");
  EXPECT_EQ(text(RegRoot::CurrentUser, "Software\\V", "w", RegView::Bits32), "user");
  r.setTwoViews(false);  // a 32-bit machine has one view
  EXPECT_EQ(text(RegRoot::LocalMachine, "SOFTWARE\\V", "w", RegView::Bits32), "64");
}

TEST(MachineFile, DescribesTheMachineOverABuiltInOne) {
  const auto m = parse(machineText("agent.machine"), {{"extra.reg", machineText("extra.reg")}});
  EXPECT_FALSE(m.is64Bit());
  const auto p = m.properties(msi::InstallContext::PerMachine);
  EXPECT_EQ(p.at("SERVERNAME"), "db01");
  EXPECT_EQ(p.at("COUNT"), "#1");
  EXPECT_EQ(p.at("HASHED"), "a # b");
  EXPECT_EQ(p.count("MsiNetAssemblySupport"), 0u);  // an empty value: not reported
  EXPECT_EQ(p.at("QUOTED"), "  padded  ");
  EXPECT_EQ(p.count("VersionNT64"), 0u);
  EXPECT_EQ(p.at("ProgramFilesFolder"), "C:\\Program Files\\");
  EXPECT_EQ(m.environment("java_home"), "C:\\Java");
  const msi::EmulatedDisk disk(m);
  EXPECT_TRUE(disk.exists("c:\\tools\\legacy"));
  EXPECT_TRUE(disk.exists("C:\\Program Files\\App\\"));
  const msi::MachineFile* app = disk.file("C:\\PROGRAM FILES\\APP\\APP.EXE");
  ASSERT_NE(app, nullptr);
  EXPECT_EQ(app->version, (std::array<std::uint16_t, 4>{1, 2, 3, 4}));
  EXPECT_EQ(app->size, 4096u);
  EXPECT_EQ(app->languages, (std::vector<int>{1033, 1031}));
  EXPECT_EQ(m.components.at("{0E1D2C3B-4A59-4867-9A8B-7C6D5E4F3A2B}"), "C:\\App\\bin\\");
  EXPECT_TRUE(disk.exists("C:\\App\\bin"));
  ASSERT_EQ(m.iniValues.size(), 1u);
  EXPECT_EQ(m.iniValues[0].value, "fast, safe");
  EXPECT_EQ(m.registry.value(RegRoot::CurrentUser, "Software\\X", "a", RegView::Bits32)->number(), 1u);
  // extra.reg is in the older format, whose expandable strings are ANSI bytes.
  EXPECT_EQ(m.registry.value(RegRoot::CurrentUser, "Software\\X", "P", RegView::Bits32),
            RegValue::string("%A\xC3\xA9%", msi::kRegExpandString));
  EXPECT_EQ(m.registry.value(RegRoot::LocalMachine, "SOFTWARE\\Inline", "k", RegView::Bits32)->text(), "v");
  // The built-in machine's own keys are still there.
  EXPECT_TRUE(m.registry.keyExists(RegRoot::LocalMachine,
                                   "SOFTWARE\\Microsoft\\NET Framework Setup\\NDP\\v4\\Full", RegView::Bits32));
}

// Faults in registry editor files and machine files: each names its line, with a word of the cause.
TEST(MachineText, FaultsNameTheirLine) {
  const std::pair<const char*, std::function<void(const std::string&)>> readers[] = {
      {"reg-faults.txt", [](const std::string& text) { msi::Registry r; msi::applyRegText(text, "x.reg", r); }},
      {"machine-faults.txt",
       [](const std::string& text) { parse(text, {{"bad.reg", "Windows Registry Editor Version 5.00\n[HKLM\\A]\n\"x\"=\n"}}); }},
  };
  for (const auto& [file, read] : readers)
    for (const auto& c : fennick::test::caseRows(machinePath(file))) {
      try {
        read(c.at(2));
        ADD_FAILURE() << "accepted: " << c[2];
      } catch (const msi::MachineTextError& e) {
        EXPECT_EQ(e.line(), std::stoi(c[0])) << c[2] << "\n" << e.what();
        EXPECT_NE(std::string(e.what()).find(c[1]), std::string::npos) << c[2] << "\n" << e.what();
        EXPECT_NE(std::string(e.what()).find(":" + c[0] + ": "), std::string::npos) << e.what();
      }
    }
}

TEST(MachineFile, AnExportedRegFileIsAMachineFileOverTheDefaultMachine) {
  const auto m = parse("Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Y]\n@=\"z\"\n");
  EXPECT_EQ(m.name, "win10-x64");
  EXPECT_TRUE(m.is64Bit());
  EXPECT_EQ(m.registry.value(RegRoot::CurrentUser, "Software\\Y", "", RegView::Bits64)->text(), "z");
}

TEST(BuiltInMachines, ReportOnlyWhatTheirRegistryAgreesWith) {
  for (const std::string& name : msi::EmulatedMachine::builtInNames()) {
    SCOPED_TRACE(name);
    const auto m = msi::EmulatedMachine::builtIn(name);
    const auto p = m.properties(msi::InstallContext::PerMachine);
    EXPECT_EQ(p.count("VersionNT64") == 1, m.is64Bit());
    EXPECT_EQ(p.count("ProgramFiles64Folder") == 1, m.is64Bit());
    // .NET Framework: the version the service reports is the one the registry holds, in
    // both views.
    for (bool bits64 : {false, true}) {
      auto hklm = [&](const std::string& key, const char* name) {
        const auto v = m.registry.value(RegRoot::LocalMachine, "SOFTWARE\\Microsoft\\" + key, name, m.registryView(bits64));
        return v ? v->text() : std::string("<none>");
      };
      const std::string v = hklm("NET Framework Setup\\NDP\\v4\\Full", "Version");  // "4.8.04084"
      const std::string reported = p.at("MsiNetAssemblySupport");  // "4.8.4084.0"
      EXPECT_EQ(reported.substr(0, 4), v.substr(0, 4));
      EXPECT_NE(reported.find(v.substr(v.rfind('.') + 2)), std::string::npos) << v << " vs " << reported;
      const std::string dir = hklm("NET Framework Setup\\NDP\\v4\\Full", "InstallPath");
      EXPECT_TRUE(msi::EmulatedDisk(m).exists(dir)) << dir;
      EXPECT_EQ(hklm("Windows\\CurrentVersion", "ProgramFilesDir") + "\\",
                p.at(bits64 && m.is64Bit() ? "ProgramFiles64Folder" : "ProgramFilesFolder"));
    }
  }
  EXPECT_THROW(msi::EmulatedMachine::builtIn("win7-x64"), msi::Error);
}

}  // namespace
