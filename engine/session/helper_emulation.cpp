// Custom actions of widespread UI libraries that a package's dialogs depend on, done here by
// what they do since their native code cannot run. Each is a DLL action recognised by its
// entry point.
//
// - ValidatePath (WiX's WixUIValidatePath, DLL entry point in the WiX UI extension): reads the
//   property named by WIXUI_INSTALLDIR and sets WIXUI_INSTALLDIR_VALID to "1" when that path
//   is on a fixed local volume (not a network path, nor a drive the machine does not have),
//   "0" otherwise. The install-folder dialogs refuse to go on without it.
// - VsdLaunchConditions (Visual Studio installer projects): evaluates each row of the
//   package's _VsdLaunchCondition table (Condition, Description, Url). The first false one
//   shows its formatted Description, with the Url to get what is missing, sets
//   HideFatalErrorForm to TRUE (the package's fatal-error dialog is conditioned on it) and
//   fails the action, which ends the run as a failed launch condition does.
// - CheckFX (the same projects' .NET Framework check): reads the required framework from
//   VSDFrameworkVersion ("v4.7.2"; VSDAllowLaterFrameworkVersions "False" asks for that
//   family), decides from the machine's NET Framework Setup\NDP registry keys, and sets the
//   property the package's launch condition reads (VSDFXAvailable) when it is there.
// - CheckNETCore (their .NET runtime check): decides from the runtimes the machine's registry
//   lists under SOFTWARE\dotnet\Setup\InstalledVersions\<x64|x86>\sharedfx\<framework>, with
//   the required major version taken from the package's VSDNETCORE* property that holds a
//   version, and sets the property the package's launch condition for the runtime reads.
#include <algorithm>
#include <cctype>

#include "engine/session/session_state.h"
#include "engine/session/table_rows.h"

namespace msi {
namespace {

using State = Session::State;

constexpr int kDll = 1;

bool onFixedVolume(const State& s, std::string_view path) {
  if (path.size() < 3 || !std::isalpha(static_cast<unsigned char>(path[0])) || path[1] != ':' ||
      path[2] != '\\')
    return false;
  const std::string root = foldWindowsPath(path.substr(0, 3));
  for (const std::string& volume : s.machine.volumes())
    if (foldWindowsPath(volume) == root) return true;
  return false;
}

std::string upper(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

// Up to four dot-separated numbers; a leading "v" is ignored. Empty for other text.
std::vector<int> versionParts(std::string_view text) {
  if (!text.empty() && (text.front() == 'v' || text.front() == 'V')) text.remove_prefix(1);
  std::vector<int> parts;
  std::size_t pos = 0;
  while (pos < text.size() && parts.size() < 4) {
    std::size_t end = pos;
    while (end < text.size() && std::isdigit(static_cast<unsigned char>(text[end]))) ++end;
    if (end == pos || end - pos > 9) return {};
    parts.push_back(std::stoi(std::string(text.substr(pos, end - pos))));
    if (end == text.size()) break;
    if (text[end] != '.') return {};
    pos = end + 1;
  }
  return parts;
}

// The launch-condition table of these projects, under either of the names they use.
std::string vsdTable(const State& s) {
  for (const char* name : {"_VsdLaunchCondition", "VsdLaunchCondition"})
    if (s.db->hasTable(name)) return name;
  return {};
}

// The property a _VsdLaunchCondition row reads, when its condition is a bare property name and
// its description is one of `messages` ([VSDNETMSG] ...).
std::string conditionProperty(const State& s, std::initializer_list<std::string_view> messages,
                              std::string_view fallback) {
  const std::string table = vsdTable(s);
  if (table.empty()) return std::string(fallback);
  const TableRows rows(*s.db, table, {"Condition", "Description"});
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const std::string condition = rows.text(i, 0);
    const std::string description = rows.text(i, 1);
    const bool named = !condition.empty() &&
                       std::all_of(condition.begin(), condition.end(), [](char c) {
                         return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '.';
                       });
    for (std::string_view message : messages)
      if (named && description.find("[" + std::string(message) + "]") != std::string::npos)
        return condition;
  }
  return std::string(fallback);
}

ActionStatus vsdLaunchConditions(State& s) {
  const std::string table = vsdTable(s);
  if (table.empty()) return ActionStatus::Success;
  const TableRows rows(*s.db, table, {"Condition", "Description", "Url"});
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (s.evaluate(rows.text(i, 0)) == ConditionResult::True) continue;
    std::string message = s.format(rows.text(i, 1));
    // The framework messages name the required version as their first field.
    const std::string version = s.property("VSDFrameworkVersion");
    if (const std::size_t field = message.find("[1]"); field != std::string::npos && !version.empty())
      message.replace(field, 3, version.front() == 'v' ? version.substr(1) : version);
    const std::string url = s.format(rows.text(i, 2));
    if (!url.empty()) message += "\n" + url;
    s.report(MessageKind::Error, message);
    s.setProperty("HideFatalErrorForm", "TRUE");
    return ActionStatus::Failure;
  }
  return ActionStatus::Success;
}

// The .NET Framework versions the machine's registry says are installed, highest first.
std::vector<std::vector<int>> installedFrameworks(const State& s) {
  const Registry& r = s.machine.registry;
  const RegView view = s.machine.registryView(false);
  const std::string ndp = "SOFTWARE\\Microsoft\\NET Framework Setup\\NDP\\";
  std::vector<std::vector<int>> found;
  auto installed = [&](const std::string& key) {
    auto v = r.value(RegRoot::LocalMachine, ndp + key, "Install", view);
    return v && v->type == kRegDword && v->number() == 1;
  };
  for (const char* profile : {"Full", "Client"}) {
    if (!installed(std::string("v4\\") + profile)) continue;
    // The release number says which 4.x it is (4.0 has none).
    const auto release = r.value(RegRoot::LocalMachine, ndp + "v4\\" + profile, "Release", view);
    const std::uint32_t n = release && release->type == kRegDword ? release->number() : 0;
    static const std::pair<std::uint32_t, std::vector<int>> kReleases[] = {
        {533320, {4, 8, 1}}, {528040, {4, 8}},    {461808, {4, 7, 2}}, {461308, {4, 7, 1}},
        {460798, {4, 7}},    {394802, {4, 6, 2}}, {394254, {4, 6, 1}}, {393295, {4, 6}},
        {379893, {4, 5, 2}}, {378675, {4, 5, 1}}, {378389, {4, 5}}};
    std::vector<int> version{4, 0};
    for (const auto& [minimum, v] : kReleases)
      if (n >= minimum) {
        version = v;
        break;
      }
    found.push_back(version);
  }
  for (const auto& [key, version] : std::initializer_list<std::pair<const char*, std::vector<int>>>{
           {"v3.5", {3, 5}}, {"v3.0", {3, 0}}, {"v2.0.50727", {2, 0}}})
    if (installed(key)) found.push_back(version);
  std::sort(found.begin(), found.end(), std::greater<>());
  return found;
}

ActionStatus checkFramework(State& s) {
  const std::string property =
      conditionProperty(s, {"VSDNETMSG", "VSDNETURLMSG"}, "VSDFXAvailable");
  std::vector<int> required = versionParts(s.property("VSDFrameworkVersion"));
  const bool laterToo = upper(s.property("VSDAllowLaterFrameworkVersions")) != "FALSE";
  bool available = false;
  for (const std::vector<int>& installed : installedFrameworks(s)) {
    if (required.empty()) {
      available = true;  // any framework will do
      break;
    }
    // 4.5 and later update 4.0 in place, so "that version" means that one or a later 4.x.
    const bool sameFamily = installed[0] == required[0] &&
                            (required[0] == 4 || installed.size() < 2 || required.size() < 2 ||
                             installed[1] == required[1]);
    if (installed >= required && (laterToo || sameFamily)) {
      available = true;
      break;
    }
  }
  if (available)
    s.setProperty(property, "1");
  else
    s.setProperty(property, "");
  return ActionStatus::Success;
}

ActionStatus checkRuntime(State& s) {
  const std::string property = conditionProperty(s, {"VSDNETCOREMSG", "VSDNETCOREURLMSG"}, "");
  int requiredMajor = 0;
  for (const auto& [name, value] : s.properties)
    if (upper(name).starts_with("VSDNETCORE"))
      if (auto parts = versionParts(value); !parts.empty()) {
        requiredMajor = parts[0];
        break;
      }
  bool available = false;
  const Registry& r = s.machine.registry;
  const RegView view = s.machine.registryView(true);
  for (const char* arch : {"x64", "x86"}) {
    const std::string base = std::string("SOFTWARE\\dotnet\\Setup\\InstalledVersions\\") + arch + "\\sharedfx";
    for (const std::string& framework : r.subkeys(RegRoot::LocalMachine, base, view))
      for (const std::string& version : r.valueNames(RegRoot::LocalMachine, base + "\\" + framework, view))
        if (auto parts = versionParts(version); !parts.empty() && parts[0] >= requiredMajor)
          available = true;
  }
  if (property.empty()) {
    s.report(MessageKind::Warning,
             "the .NET runtime check found no launch condition that reads its result; nothing set");
    return ActionStatus::Success;
  }
  s.setProperty(property, available ? "1" : "");
  return ActionStatus::Success;
}

}  // namespace

std::optional<ActionStatus> emulateHelper(State& s, std::string_view action, int type,
                                          std::string_view source, std::string_view target) {
  (void)action;
  (void)source;
  if ((type & 7) != kDll) return std::nullopt;
  if (target == "ValidatePath") {
    const std::string path = s.property(s.property("WIXUI_INSTALLDIR"));
    s.setProperty("WIXUI_INSTALLDIR_VALID", onFixedVolume(s, path) ? "1" : "0");
    return ActionStatus::Success;
  }
  if (target == "VsdLaunchConditions") return vsdLaunchConditions(s);
  if (target == "CheckFX") return checkFramework(s);
  if (target == "CheckNETCore") return checkRuntime(s);
  return std::nullopt;
}

}  // namespace msi
