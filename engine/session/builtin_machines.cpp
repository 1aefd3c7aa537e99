// The built-in machines. Their registry holds only what agrees with the properties they
// report: the Windows version keys, the program-files folders, and the .NET Framework 4.8 keys
// (4.8.1 on Windows 11) behind MsiNetAssemblySupport, in both views on a 64-bit machine,
// with the framework's folders on disk.
#include <array>
#include <cstdio>

#include "engine/session/machine.h"
#include "engine/session/reg_file.h"

namespace msi {
namespace {

struct BuiltIn {
  std::string_view name;
  Architecture architecture;
  std::string_view build;         // CurrentBuild
  std::string_view displayVersion;
  std::uint32_t netRelease;       // NDP\v4\Full Release
  std::string_view netVersion;    // NDP\v4\Full Version
  std::string_view netAssembly;   // MsiNetAssemblySupport
};

constexpr std::array<BuiltIn, 3> kBuiltIns{{
    {"win10-x64", Architecture::X64, "19045", "22H2", 528372, "4.8.04084", "4.8.4084.0"},
    {"win10-x86", Architecture::X86, "19045", "22H2", 528372, "4.8.04084", "4.8.4084.0"},
    {"win11-x64", Architecture::X64, "22631", "23H2", 533320, "4.8.09032", "4.8.9032.0"},
}};

std::string hexDword(std::uint32_t n) {
  char text[9];
  std::snprintf(text, sizeof text, "%08x", n);
  return text;
}

// One view's keys; `software` is SOFTWARE or SOFTWARE\Wow6432Node, `framework` the folder the
// view's framework lives in, `programFiles` that view's Program Files.
std::string viewKeys(const BuiltIn& b, const std::string& software, const std::string& framework,
                     const std::string& programFiles) {
  const std::string root = "[HKEY_LOCAL_MACHINE\\" + software;
  const std::string netPath = "C:\\\\Windows\\\\Microsoft.NET\\\\" + framework + "\\\\v4.0.30319\\\\";
  std::string text;
  text += root + "\\Microsoft\\Windows NT\\CurrentVersion]\n";
  // Windows 11 keeps "Windows 10" in ProductName; programs tell them apart by the build.
  text += "\"ProductName\"=\"Windows 10 Pro\"\n";
  text += "\"EditionID\"=\"Professional\"\n";
  text += "\"InstallationType\"=\"Client\"\n";
  text += "\"CurrentVersion\"=\"6.3\"\n";
  text += "\"CurrentMajorVersionNumber\"=dword:0000000a\n";
  text += "\"CurrentMinorVersionNumber\"=dword:00000000\n";
  text += "\"CurrentBuild\"=\"" + std::string(b.build) + "\"\n";
  text += "\"CurrentBuildNumber\"=\"" + std::string(b.build) + "\"\n";
  text += "\"DisplayVersion\"=\"" + std::string(b.displayVersion) + "\"\n";
  text += "\"SystemRoot\"=\"C:\\\\Windows\"\n\n";
  text += root + "\\Microsoft\\Windows\\CurrentVersion]\n";
  text += "\"ProgramFilesDir\"=\"" + programFiles + "\"\n";
  text += "\"CommonFilesDir\"=\"" + programFiles + "\\\\Common Files\"\n";
  if (b.architecture == Architecture::X64) {
    text += "\"ProgramFilesDir (x86)\"=\"C:\\\\Program Files (x86)\"\n";
    text += "\"CommonFilesDir (x86)\"=\"C:\\\\Program Files (x86)\\\\Common Files\"\n";
    text += "\"ProgramW6432Dir\"=\"C:\\\\Program Files\"\n";
    text += "\"CommonW6432Dir\"=\"C:\\\\Program Files\\\\Common Files\"\n";
  }
  text += "\n";
  for (const char* profile : {"Full", "Client"}) {
    text += root + "\\Microsoft\\NET Framework Setup\\NDP\\v4\\" + profile + "]\n";
    text += "\"Install\"=dword:00000001\n";
    text += "\"Release\"=dword:" + hexDword(b.netRelease) + "\n";
    text += "\"Version\"=\"" + std::string(b.netVersion) + "\"\n";
    text += "\"TargetVersion\"=\"4.0.0\"\n";
    text += "\"InstallPath\"=\"" + netPath + "\"\n\n";
  }
  return text;
}

}  // namespace

std::vector<std::string> EmulatedMachine::builtInNames() {
  std::vector<std::string> names;
  for (const BuiltIn& b : kBuiltIns) names.emplace_back(b.name);
  return names;
}

EmulatedMachine EmulatedMachine::builtIn(std::string_view name) {
  for (const BuiltIn& b : kBuiltIns) {
    if (b.name != name) continue;
    EmulatedMachine m;
    m.name = std::string(b.name);
    m.architecture = b.architecture;
    m.registry.setTwoViews(b.architecture == Architecture::X64);
    m.extraProperties["MsiNetAssemblySupport"] = std::string(b.netAssembly);
    std::string reg = "Windows Registry Editor Version 5.00\n\n";
    if (b.architecture == Architecture::X64) {
      reg += viewKeys(b, "SOFTWARE", "Framework64", "C:\\\\Program Files");
      reg += viewKeys(b, "SOFTWARE\\Wow6432Node", "Framework", "C:\\\\Program Files (x86)");
      m.extraFolders.push_back("C:\\Windows\\Microsoft.NET\\Framework64\\v4.0.30319\\");
    } else {
      reg += viewKeys(b, "SOFTWARE", "Framework", "C:\\\\Program Files");
    }
    m.extraFolders.push_back("C:\\Windows\\Microsoft.NET\\Framework\\v4.0.30319\\");
    applyRegText(reg, m.name, m.registry);
    return m;
  }
  std::string known;
  for (const BuiltIn& b : kBuiltIns) known += (known.empty() ? "" : ", ") + std::string(b.name);
  throw Error("no built-in machine `" + std::string(name) + "` (built-in machines: " + known + ")");
}

}  // namespace msi
