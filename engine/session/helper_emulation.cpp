// Custom actions of widespread UI libraries that a package's dialogs depend on, done here by
// what they do since their native code cannot run. Each is recognised by its entry point.
//
// - ValidatePath (WiX's WixUIValidatePath, DLL entry point in the WiX UI extension): reads the
//   property named by WIXUI_INSTALLDIR and sets WIXUI_INSTALLDIR_VALID to "1" when that path
//   is on a fixed local volume (not a network path, nor a drive the machine does not have),
//   "0" otherwise. The install-folder dialogs refuse to go on without it.
#include <cctype>

#include "engine/session/session_state.h"

namespace msi {
namespace {

constexpr int kDll = 1;

bool onFixedVolume(const Session::State& s, std::string_view path) {
  if (path.size() < 3 || !std::isalpha(static_cast<unsigned char>(path[0])) || path[1] != ':' ||
      path[2] != '\\')
    return false;
  const std::string root = foldWindowsPath(path.substr(0, 3));
  for (const std::string& volume : s.machine.volumes())
    if (foldWindowsPath(volume) == root) return true;
  return false;
}

}  // namespace

std::optional<ActionStatus> emulateHelper(Session::State& s, std::string_view action, int type,
                                          std::string_view source, std::string_view target) {
  (void)action;
  (void)source;
  if ((type & 7) == kDll && target == "ValidatePath") {
    const std::string path = s.property(s.property("WIXUI_INSTALLDIR"));
    s.setProperty("WIXUI_INSTALLDIR_VALID", onFixedVolume(s, path) ? "1" : "0");
    return ActionStatus::Success;
  }
  return std::nullopt;
}

}  // namespace msi
