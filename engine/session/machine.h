// The machine a session runs on: not the Linux host but an emulated 64-bit Windows 10 (English,
// 1033) with one fixed volume C:\ and a per-user profile, because the choices a session
// records are applied on Windows. Nothing here touches the Linux file system.
//
// Values the service reports on such a machine:
// - VersionNT and VersionNT64 are 603 and WindowsBuild 9600 (the Windows 8.1 numbers): the
//   installer is not manifested for Windows 10 and is given those numbers by design (Microsoft
//   KB 3202260); Wine reports the same.
// - Folder properties end with a backslash. Per-machine installations (ALLUSERS=1) get the
//   all-users Desktop, Start menu, Programs, Startup, Templates and Administrative Tools
//   folders; per-user ones the user's. A dual-purpose package installed per user
//   (ALLUSERS=2, MSIINSTALLPERUSER=1) gets %LocalAppData%\Programs\ for ProgramFilesFolder and
//   ProgramFiles64Folder, and ...\Programs\Common\ for the Common Files folders.
// - ProgramFilesFolder, CommonFilesFolder and SystemFolder name the 32-bit folders whatever
//   the package's platform; the 64-bit ones are ProgramFiles64Folder, CommonFiles64Folder and
//   System64Folder.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace msi {

// Where the folder properties point (see the installation-context rules above).
enum class InstallContext { PerMachine, PerUser, PerUserDualPurpose };

struct EmulatedMachine {
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

  // The same machine with the login and host names of the process (the profile folders
  // then name the Linux user, as a prefix under Wine does).
  static EmulatedMachine forCurrentUser();

  // The user's profile folder: C:\Users\<userName>\ .
  std::string profileFolder() const;

  // The properties the service sets on this machine before a package's own are read
  // (operating system, folders, user, screen); ordered by name.
  std::map<std::string, std::string> properties(InstallContext context) const;

  // Environment variable (name case-insensitive); nullopt when unset.
  std::optional<std::string> environment(std::string_view name) const;

  // The emulated file system holds only the standard folders and the folders above them
  // (see EmulatedDisk, which answers many questions faster).
  bool directoryExists(std::string_view path) const;
  std::vector<std::string> subdirectories(std::string_view path) const;  // names, sorted
  // Fixed volumes, each "X:\".
  std::vector<std::string> volumes() const { return {"C:\\"}; }
  // Every standard folder of every installation context.
  std::vector<std::string> folderPaths() const;
};

// The folders of a machine's disk, prepared once. Paths are Windows paths, compared
// case-insensitively, with or without the trailing backslash.
class EmulatedDisk {
 public:
  explicit EmulatedDisk(const EmulatedMachine& machine);
  bool exists(std::string_view path) const;
  std::vector<std::string> subdirectories(std::string_view path) const;  // names, sorted

 private:
  std::vector<std::pair<std::string, std::string>> folders_;  // folded and as written, sorted
};

// Folds a Windows path for comparisons: upper case (ASCII), forward slashes as backslashes,
// one trailing backslash.
std::string foldWindowsPath(std::string_view path);

}  // namespace msi
