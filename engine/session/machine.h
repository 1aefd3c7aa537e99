// The machine a session runs on: not the Linux host but an emulated Windows machine (English,
// 1033) with one fixed volume C:\ and a per-user profile, because the choices a session
// records are applied on Windows. Nothing here touches the Linux file system.
//
// Built-in machines (builtIn): win10-x64 (the default), win10-x86 and win11-x64. Each carries
// the registry keys that agree with what it reports (Windows version keys, the .NET Framework
// 4.8 keys behind MsiNetAssemblySupport, the program-files folders) and nothing else; a machine
// file (machine_file.h) adds properties, registry content, files, folders, installed
// components and .ini values over one of them.
//
// Values the service reports on such a machine:
// - VersionNT (and VersionNT64 on a 64-bit machine) are 603 and WindowsBuild 9600 (the
//   Windows 8.1 numbers) on Windows 10 and 11 alike: the installer is not manifested for
//   Windows 10 and is given those numbers by design (Microsoft KB 3202260); Wine reports the
//   same. The registry holds the real build number.
// - Folder properties end with a backslash. Per-machine installations (ALLUSERS=1) get the
//   all-users Desktop, Start menu, Programs, Startup, Templates and Administrative Tools
//   folders; per-user ones the user's. A dual-purpose package installed per user
//   (ALLUSERS=2, MSIINSTALLPERUSER=1) gets %LocalAppData%\Programs\ for ProgramFilesFolder and
//   ProgramFiles64Folder, and ...\Programs\Common\ for the Common Files folders.
// - On a 64-bit machine ProgramFilesFolder, CommonFilesFolder and SystemFolder name the 32-bit
//   folders whatever the package's platform; the 64-bit ones are ProgramFiles64Folder,
//   CommonFiles64Folder and System64Folder. A 32-bit machine has only the first three (and no
//   VersionNT64, Msix64, MsiAMD64), naming C:\Program Files\ and C:\Windows\system32\.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/session/registry.h"

namespace msi {

// Where the folder properties point (see the installation-context rules above).
enum class InstallContext { PerMachine, PerUser, PerUserDualPurpose };

enum class Architecture { X64, X86 };

// A file on the machine's disk, with what a file signature can ask of it.
struct MachineFile {
  std::string path;                                   // full Windows path
  std::optional<std::array<std::uint16_t, 4>> version;  // none: the file has no version resource
  std::uint64_t size = 0;
  std::vector<int> languages;  // of its version resource
};

// A value of an .ini file: IniLocator reads these.
struct IniValue {
  std::string file;  // a full path, or a file name in the Windows folder
  std::string section;
  std::string key;
  std::string value;
};

struct EmulatedMachine {
  std::string name = "win10-x64";  // the built-in machine, or the machine file it came from
  Architecture architecture = Architecture::X64;
  std::string userName = "User";
  std::string computerName = "FENNICK-PC";
  std::string userSid = "S-1-5-21-1004336348-1177238915-682003330-1001";
  int languageId = 1033;
  int screenWidth = 1920;
  int screenHeight = 1080;
  int colorBits = 32;
  int physicalMemoryMB = 16384;
  std::uint64_t volumeSize = 255ull * 1024 * 1024 * 1024;   // bytes on C:
  std::uint64_t volumeFree = 128ull * 1024 * 1024 * 1024;   // bytes free on C:
  std::uint32_t clusterSize = 4096;                         // file costs round up to this
  // Variables beyond the standard ones (tests, the command line). Names case-insensitive.
  std::map<std::string, std::string> extraEnvironment;
  // Properties a machine file gives: they win over the ones computed here.
  std::map<std::string, std::string> extraProperties;
  Registry registry;
  std::vector<std::string> extraFolders;  // beyond the standard ones (full paths)
  std::vector<MachineFile> files;
  // Installed components: component code (a GUID, upper case) -> its key path (a file, or a
  // folder ending with a backslash).
  std::map<std::string, std::string> components;
  std::vector<IniValue> iniValues;

  // A built-in machine by name; throws Error naming the known ones for any other name.
  static EmulatedMachine builtIn(std::string_view name);
  static std::vector<std::string> builtInNames();
  // Takes the login and host names of the process (the profile folders then name the Linux
  // user, as a prefix under Wine does).
  void adoptCurrentUser();
  bool is64Bit() const { return architecture == Architecture::X64; }
  // The view a 32-bit or 64-bit search reads (a 32-bit machine has only one).
  RegView registryView(bool bits64) const {
    return bits64 && is64Bit() ? RegView::Bits64 : RegView::Bits32;
  }

  // The default machine with the login and host names of the process.
  static EmulatedMachine forCurrentUser();

  // The user's profile folder: C:\Users\<userName>\ .
  std::string profileFolder() const;

  // The properties the service sets on this machine before a package's own are read
  // (operating system, folders, user, screen); ordered by name.
  std::map<std::string, std::string> properties(InstallContext context) const;

  // Environment variable (name case-insensitive); nullopt when unset.
  std::optional<std::string> environment(std::string_view name) const;

  // The emulated file system holds the standard folders, the machine's own folders and files,
  // and the folders above them (see EmulatedDisk, which answers many questions faster).
  bool directoryExists(std::string_view path) const;
  std::vector<std::string> subdirectories(std::string_view path) const;  // names, sorted
  // Fixed volumes, each "X:\".
  std::vector<std::string> volumes() const { return {"C:\\"}; }
  // Every standard folder of every installation context.
  std::vector<std::string> folderPaths() const;
};

// The folders and files of a machine's disk, prepared once. Paths are Windows paths, compared
// case-insensitively, folders with or without the trailing backslash.
class EmulatedDisk {
 public:
  explicit EmulatedDisk(const EmulatedMachine& machine);
  bool exists(std::string_view path) const;  // a folder
  std::vector<std::string> subdirectories(std::string_view path) const;  // names, sorted
  const MachineFile* file(std::string_view path) const;  // nullptr: no such file

 private:
  std::vector<std::pair<std::string, std::string>> folders_;  // folded and as written, sorted
  std::map<std::string, MachineFile> files_;                  // folded path -> file
};

// Folds a Windows path for comparisons: upper case (ASCII), forward slashes as backslashes,
// one trailing backslash.
std::string foldWindowsPath(std::string_view path);

}  // namespace msi
