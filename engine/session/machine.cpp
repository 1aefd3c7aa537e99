#include "engine/session/machine.h"

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdlib>
#include <set>

namespace msi {
namespace {

constexpr const char* kWindows = "C:\\Windows\\";
constexpr const char* kProgramData = "C:\\ProgramData\\";
constexpr const char* kProgramFiles64 = "C:\\Program Files\\";
constexpr const char* kProgramFiles32 = "C:\\Program Files (x86)\\";

std::string upper(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

// A Windows name can hold neither of these; a Linux login name might.
std::string windowsName(std::string_view name, std::string_view fallback) {
  std::string out;
  for (char c : name)
    if (c != '\\' && c != '/' && c != ':' && c != '*' && c != '?' && c != '"' && c != '<' &&
        c != '>' && c != '|' && static_cast<unsigned char>(c) >= 0x20)
      out += c;
  return out.empty() ? std::string(fallback) : out;
}

}  // namespace

std::string foldWindowsPath(std::string_view path) {
  std::string out = upper(path);
  std::replace(out.begin(), out.end(), '/', '\\');
  while (out.size() > 1 && out.back() == '\\' && out[out.size() - 2] == '\\') out.pop_back();
  if (!out.empty() && out.back() != '\\') out += '\\';
  return out;
}

EmulatedMachine EmulatedMachine::forCurrentUser() {
  EmulatedMachine machine = builtIn("win10-x64");
  machine.adoptCurrentUser();
  return machine;
}

void EmulatedMachine::adoptCurrentUser() {
  std::array<char, 256> buffer{};
  if (const char* login = getlogin(); login && *login)
    userName = windowsName(login, userName);
  else if (const passwd* account = getpwuid(geteuid()); account && account->pw_name)
    userName = windowsName(account->pw_name, userName);
  else if (const char* user = std::getenv("USER"); user && *user)
    userName = windowsName(user, userName);
  if (gethostname(buffer.data(), buffer.size() - 1) == 0 && buffer[0]) {
    // Windows computer names are upper case NetBIOS names of at most 15 characters.
    std::string host = upper(windowsName(buffer.data(), computerName));
    host = host.substr(0, host.find('.')).substr(0, 15);
    if (!host.empty()) computerName = host;
  }
}

std::string EmulatedMachine::profileFolder() const { return "C:\\Users\\" + userName + "\\"; }

std::map<std::string, std::string> EmulatedMachine::properties(InstallContext context) const {
  const std::string profile = profileFolder();
  const std::string roaming = profile + "AppData\\Roaming\\";
  const std::string local = profile + "AppData\\Local\\";
  const std::string userStart = roaming + "Microsoft\\Windows\\Start Menu\\";
  const std::string commonStart = std::string(kProgramData) + "Microsoft\\Windows\\Start Menu\\";
  const bool perMachine = context == InstallContext::PerMachine;
  const std::string start = perMachine ? commonStart : userStart;

  std::map<std::string, std::string> p;
  // Operating system and installer.
  p["VersionNT"] = "603";
  if (is64Bit()) p["VersionNT64"] = "603";
  p["WindowsBuild"] = "9600";
  p["ServicePackLevel"] = "0";
  p["ServicePackLevelMinor"] = "0";
  p["MsiNTProductType"] = "1";
  p["VersionMsi"] = "5.00";
  p["Intel"] = "6";
  if (is64Bit()) {
    p["Msix64"] = "6";
    p["MsiAMD64"] = "6";
  }
  p["MsiLogicalProcessors"] = "4";
  p["MsiNetAssemblySupport"] = "4.8.4084.0";
  p["MsiWin32AssemblySupport"] = "6.3.19041.1";
  p["RedirectedDllSupport"] = "2";
  p["ShellAdvtSupport"] = "1";
  p["OLEAdvtSupport"] = "1";
  // User and machine.
  p["ComputerName"] = computerName;
  p["LogonUser"] = userName;
  p["UserSID"] = userSid;
  p["UserLanguageID"] = std::to_string(languageId);
  p["SystemLanguageID"] = std::to_string(languageId);
  p["AdminUser"] = "1";
  p["Privileged"] = "1";
  p["MsiRunningElevated"] = "1";
  p["PhysicalMemory"] = std::to_string(physicalMemoryMB);
  p["VirtualMemory"] = std::to_string(physicalMemoryMB / 2);
  p["ScreenX"] = std::to_string(screenWidth);
  p["ScreenY"] = std::to_string(screenHeight);
  p["ColorBits"] = std::to_string(colorBits);
  p["TextHeight"] = "16";
  p["CaptionHeight"] = "23";
  p["BorderTop"] = "1";
  p["BorderSide"] = "1";
  // Folders.
  p["WindowsVolume"] = "C:\\";
  p["WindowsFolder"] = kWindows;
  if (is64Bit()) {
    p["SystemFolder"] = std::string(kWindows) + "SysWOW64\\";
    p["System64Folder"] = std::string(kWindows) + "system32\\";
  } else {
    p["SystemFolder"] = std::string(kWindows) + "system32\\";
  }
  p["System16Folder"] = std::string(kWindows) + "system\\";
  p["FontsFolder"] = std::string(kWindows) + "Fonts\\";
  p["TempFolder"] = local + "Temp\\";
  p["CommonAppDataFolder"] = kProgramData;
  p["AppDataFolder"] = roaming;
  p["LocalAppDataFolder"] = local;
  p["PersonalFolder"] = profile + "Documents\\";
  p["FavoritesFolder"] = profile + "Favorites\\";
  p["MyPicturesFolder"] = profile + "Pictures\\";
  p["NetHoodFolder"] = roaming + "Microsoft\\Windows\\Network Shortcuts\\";
  p["PrintHoodFolder"] = roaming + "Microsoft\\Windows\\Printer Shortcuts\\";
  p["RecentFolder"] = roaming + "Microsoft\\Windows\\Recent\\";
  p["SendToFolder"] = roaming + "Microsoft\\Windows\\SendTo\\";
  p["DesktopFolder"] = perMachine ? "C:\\Users\\Public\\Desktop\\" : profile + "Desktop\\";
  p["StartMenuFolder"] = start;
  p["ProgramMenuFolder"] = start + "Programs\\";
  p["StartupFolder"] = start + "Programs\\StartUp\\";
  p["AdminToolsFolder"] = start + "Programs\\Administrative Tools\\";
  p["TemplateFolder"] = perMachine ? std::string(kProgramData) + "Microsoft\\Windows\\Templates\\"
                                   : roaming + "Microsoft\\Windows\\Templates\\";
  if (context == InstallContext::PerUserDualPurpose) {
    const std::string programs = local + "Programs\\";
    p["ProgramFilesFolder"] = programs;
    p["CommonFilesFolder"] = programs + "Common\\";
    if (is64Bit()) {
      p["ProgramFiles64Folder"] = programs;
      p["CommonFiles64Folder"] = programs + "Common\\";
    }
  } else if (is64Bit()) {
    p["ProgramFilesFolder"] = kProgramFiles32;
    p["ProgramFiles64Folder"] = kProgramFiles64;
    p["CommonFilesFolder"] = std::string(kProgramFiles32) + "Common Files\\";
    p["CommonFiles64Folder"] = std::string(kProgramFiles64) + "Common Files\\";
  } else {
    p["ProgramFilesFolder"] = kProgramFiles64;
    p["CommonFilesFolder"] = std::string(kProgramFiles64) + "Common Files\\";
  }
  for (const auto& [name, value] : extraProperties) {
    if (value.empty())
      p.erase(name);
    else
      p[name] = value;
  }
  return p;
}

std::optional<std::string> EmulatedMachine::environment(std::string_view name) const {
  const std::string key = upper(name);
  for (const auto& [k, v] : extraEnvironment)
    if (upper(k) == key) return v;
  const std::string profile = profileFolder();
  const std::string noSlash = profile.substr(0, profile.size() - 1);
  const std::map<std::string, std::string> standard = {
      {"ALLUSERSPROFILE", "C:\\ProgramData"},
      {"APPDATA", noSlash + "\\AppData\\Roaming"},
      {"COMMONPROGRAMFILES", "C:\\Program Files\\Common Files"},
      {"COMMONPROGRAMFILES(X86)", "C:\\Program Files (x86)\\Common Files"},
      {"COMMONPROGRAMW6432", "C:\\Program Files\\Common Files"},
      {"COMPUTERNAME", computerName},
      {"COMSPEC", "C:\\Windows\\system32\\cmd.exe"},
      {"HOMEDRIVE", "C:"},
      {"HOMEPATH", "\\Users\\" + userName},
      {"LOCALAPPDATA", noSlash + "\\AppData\\Local"},
      {"NUMBER_OF_PROCESSORS", "4"},
      {"OS", "Windows_NT"},
      {"PATH", "C:\\Windows\\system32;C:\\Windows;C:\\Windows\\System32\\Wbem;"
               "C:\\Windows\\System32\\WindowsPowerShell\\v1.0\\"},
      {"PATHEXT", ".COM;.EXE;.BAT;.CMD;.VBS;.VBE;.JS;.JSE;.WSF;.WSH;.MSC"},
      {"PROCESSOR_ARCHITECTURE", "AMD64"},
      {"PROGRAMDATA", "C:\\ProgramData"},
      {"PROGRAMFILES", "C:\\Program Files"},
      {"PROGRAMFILES(X86)", "C:\\Program Files (x86)"},
      {"PROGRAMW6432", "C:\\Program Files"},
      {"PUBLIC", "C:\\Users\\Public"},
      {"SYSTEMDRIVE", "C:"},
      {"SYSTEMROOT", "C:\\Windows"},
      {"TEMP", noSlash + "\\AppData\\Local\\Temp"},
      {"TMP", noSlash + "\\AppData\\Local\\Temp"},
      {"USERDOMAIN", computerName},
      {"USERNAME", userName},
      {"USERPROFILE", noSlash},
      {"WINDIR", "C:\\Windows"},
  };
  if (!is64Bit()) {
    // A 32-bit Windows has one Program Files folder and no WOW64 variables.
    if (key == "PROCESSOR_ARCHITECTURE") return std::string("x86");
    if (key == "PROGRAMFILES(X86)" || key == "COMMONPROGRAMFILES(X86)" || key == "PROGRAMW6432" ||
        key == "COMMONPROGRAMW6432")
      return std::nullopt;
  }
  if (auto it = standard.find(key); it != standard.end()) return it->second;
  return std::nullopt;
}

std::vector<std::string> EmulatedMachine::folderPaths() const {
  std::set<std::string> all;
  for (InstallContext c :
       {InstallContext::PerMachine, InstallContext::PerUser, InstallContext::PerUserDualPurpose})
    for (const auto& [name, value] : properties(c))
      if (name.size() > 6 && (name.ends_with("Folder") || name == "WindowsVolume")) all.insert(value);
  all.insert("C:\\Users\\Public\\Documents\\");
  for (const std::string& folder : extraFolders) all.insert(folder);
  for (const auto& [component, keyPath] : components)
    if (keyPath.ends_with('\\')) all.insert(keyPath);
  return {all.begin(), all.end()};
}

bool EmulatedMachine::directoryExists(std::string_view path) const {
  return EmulatedDisk(*this).exists(path);
}

std::vector<std::string> EmulatedMachine::subdirectories(std::string_view path) const {
  return EmulatedDisk(*this).subdirectories(path);
}

EmulatedDisk::EmulatedDisk(const EmulatedMachine& machine) {
  for (const std::string& folder : machine.folderPaths())
    folders_.emplace_back(foldWindowsPath(folder), folder);
  auto addFile = [&](const MachineFile& file) {
    std::string folded = foldWindowsPath(file.path);
    folded.pop_back();
    files_.emplace(folded, file);
    const std::size_t slash = file.path.find_last_of("\\/");
    if (slash != std::string::npos && slash > 2) {
      const std::string folder = file.path.substr(0, slash + 1);
      folders_.emplace_back(foldWindowsPath(folder), folder);
    }
  };
  for (const MachineFile& file : machine.files) addFile(file);
  for (const auto& [component, keyPath] : machine.components)
    if (!keyPath.ends_with('\\')) {
      MachineFile file;
      file.path = keyPath;
      if (!files_.count(foldWindowsPath(keyPath).substr(0, foldWindowsPath(keyPath).size() - 1)))
        addFile(file);
    }
  std::sort(folders_.begin(), folders_.end());
  folders_.erase(std::unique(folders_.begin(), folders_.end(),
                             [](const auto& a, const auto& b) { return a.first == b.first; }),
                 folders_.end());
}

const MachineFile* EmulatedDisk::file(std::string_view path) const {
  std::string folded = foldWindowsPath(path);
  folded.pop_back();
  auto it = files_.find(folded);
  return it == files_.end() ? nullptr : &it->second;
}

bool EmulatedDisk::exists(std::string_view path) const {
  const std::string wanted = foldWindowsPath(path);
  if (wanted.size() < 3) return false;
  auto it = std::lower_bound(folders_.begin(), folders_.end(),
                             std::pair<std::string, std::string>(wanted, ""));
  return it != folders_.end() && it->first.starts_with(wanted);
}

std::vector<std::string> EmulatedDisk::subdirectories(std::string_view path) const {
  const std::string parent = foldWindowsPath(path);
  std::set<std::string> names;
  std::set<std::string> seen;  // folded, so that two spellings count once
  auto it = std::lower_bound(folders_.begin(), folders_.end(),
                             std::pair<std::string, std::string>(parent, ""));
  for (; it != folders_.end() && it->first.starts_with(parent); ++it) {
    const auto& [folded, folder] = *it;
    if (folded.size() <= parent.size()) continue;
    const std::size_t end = folded.find('\\', parent.size());
    const std::string name = folder.substr(parent.size(), end - parent.size());
    if (seen.insert(upper(name)).second) names.insert(name);
  }
  return {names.begin(), names.end()};
}

}  // namespace msi
