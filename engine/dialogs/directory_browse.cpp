#include "engine/dialogs/directory_browse.h"

#include <cctype>

namespace msi::dialogs {
namespace {

std::string withBackslash(std::string_view path) {
  std::string out(path);
  if (out.empty() || out.back() != '\\') out += '\\';
  return out;
}

bool isDrivePath(std::string_view path) {
  return path.size() >= 3 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':' &&
         path[2] == '\\';
}

bool sameFolded(std::string_view a, std::string_view b) {
  return foldWindowsPath(a) == foldWindowsPath(b);
}

}  // namespace

std::vector<ListItem> directoryListItems(const Session& session, std::string_view path) {
  std::vector<ListItem> items;
  if (path.empty()) return items;
  for (const std::string& name : session.machine().subdirectories(withBackslash(path))) {
    ListItem item;
    item.value = name;
    item.text = name;
    items.push_back(std::move(item));
  }
  return items;
}

std::vector<ListItem> directoryComboItems(const Session& session, std::string_view path) {
  std::vector<ListItem> items;
  const std::string full = withBackslash(path);
  for (const std::string& volume : session.machine().volumes()) {
    ListItem item;
    item.value = volume;
    item.text = volume;
    items.push_back(item);
    if (!isDrivePath(full) || !sameFolded(full.substr(0, 3), volume)) continue;
    // Each folder from the volume down to the path, as a combo of the browse dialog lists them.
    std::size_t start = 3;
    while (start < full.size()) {
      const std::size_t slash = full.find('\\', start);
      if (slash == std::string::npos) break;
      ListItem folder;
      folder.value = full.substr(0, slash + 1);
      folder.text = full.substr(start, slash - start);
      if (!folder.text.empty()) items.push_back(std::move(folder));
      start = slash + 1;
    }
  }
  return items;
}

std::vector<ListItem> volumeItems(const Session& session) {
  std::vector<ListItem> items;
  for (const std::string& volume : session.machine().volumes()) {
    ListItem item;
    item.value = volume;
    item.text = volume;
    items.push_back(std::move(item));
  }
  return items;
}

std::string parentFolder(std::string_view path) {
  std::string full = withBackslash(path);
  if (full.size() <= 3) return full;
  const std::size_t slash = full.rfind('\\', full.size() - 2);
  if (slash == std::string::npos) return full;
  return full.substr(0, slash + 1);
}

std::string childFolder(std::string_view path, std::string_view name) {
  return withBackslash(path) + std::string(name) + '\\';
}

std::string newFolderName(const Session& session, std::string_view path) {
  const std::vector<std::string> taken = session.machine().subdirectories(withBackslash(path));
  auto isTaken = [&](const std::string& name) {
    for (const std::string& t : taken)
      if (sameFolded(t, name)) return true;
    return false;
  };
  std::string name = "New Folder";
  for (int n = 2; isTaken(name) && n < 1000; ++n) name = "New Folder " + std::to_string(n);
  return name;
}

std::string pathProblem(const Session& session, std::string_view path) {
  const bool network = path.size() > 2 && path[0] == '\\' && path[1] == '\\';
  if (!network && !isDrivePath(path)) return "`" + std::string(path) + "` is not an absolute path";
  if (!network) {
    bool known = false;
    for (const std::string& volume : session.machine().volumes())
      known |= sameFolded(path.substr(0, 3), volume);
    if (!known)
      return "`" + std::string(path) + "` is on drive " + std::string(path.substr(0, 2)) +
             ", which this machine does not have";
  }
  for (char c : path.substr(2))
    if (c == '<' || c == '>' || c == '"' || c == '|' || c == '?' || c == '*' || c == ':' ||
        static_cast<unsigned char>(c) < 0x20)
      return "`" + std::string(path) + "` holds a character a path cannot hold";
  return {};
}

}  // namespace msi::dialogs
