// AppSearch, CCPSearch and RMCCPSearch: signatures searched with the locator tables on the
// emulated machine. Its registry is empty, no product or component is installed, no .ini file
// exists and its disk holds only the standard folders, so only DrLocator rows that name one of
// those folders find anything.
#include <algorithm>
#include <cctype>
#include <map>
#include <set>

#include "engine/session/directory_tree.h"
#include "engine/session/session_state.h"
#include "engine/session/table_rows.h"

namespace msi {
namespace {

using State = Session::State;

// A DrLocator row may name another signature as its parent; deeper chains are not followed.
constexpr int kMaxParentChain = 16;
// Directories one action looks at, at most: a package with many deep searches ends them early
// rather than running for long (the emulated disk holds a few dozen folders anyway).
constexpr std::size_t kMaxVisited = 100000;

bool isAbsolute(std::string_view path) {
  return path.starts_with("\\\\") ||
         (path.size() >= 3 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':' &&
          path[2] == '\\');
}

class Locator {
 public:
  explicit Locator(State& state)
      : s_(state),
        disk_(state.machine),
        drLocator_(*state.db, "DrLocator", {"Signature_", "Parent", "Path", "Depth"}) {
    const TableRows signatures(*s_.db, "Signature", {"Signature"});
    for (std::size_t i = 0; i < signatures.size(); ++i) fileSignatures_.insert(signatures.text(i, 0));
    for (std::size_t i = 0; i < drLocator_.size(); ++i) drRows_.emplace(drLocator_.text(i, 0), i);
  }

  // The location a signature describes, or nullopt when it is not on this machine.
  // Each signature is searched once per action: parents shared by many rows, or rows naming
  // each other, cost no more than the table's size.
  std::optional<std::string> find(std::string_view signature, int chain = 0) {
    const std::string key(signature);
    if (auto known = memo_.find(key); known != memo_.end()) return known->second;
    if (chain > kMaxParentChain || !active_.insert(key).second) return std::nullopt;
    std::optional<std::string> found = search(signature, chain);
    active_.erase(key);
    memo_[key] = found;
    return found;
  }

 private:
  std::optional<std::string> search(std::string_view signature, int chain) {
    // CompLocator, RegLocator and IniLocator rows look at installed components, the registry
    // and .ini files: all empty here.
    const auto [first, last] = drRows_.equal_range(std::string(signature));
    for (auto it = first; it != last; ++it)
      if (auto found = searchRow(drLocator_, it->second, signature, chain)) return found;
    return std::nullopt;
  }

  std::optional<std::string> searchRow(const TableRows& rows, std::size_t i,
                                       std::string_view signature, int chain) {
    const std::string parent = rows.text(i, 1);
    const std::string path = s_.format(rows.text(i, 2));
    const int depth = std::max(0, rows.integer(i, 3).value_or(0));
    std::vector<std::string> bases;
    if (!parent.empty()) {
      auto base = find(parent, chain + 1);
      if (!base) return std::nullopt;
      bases.push_back(*base);
    } else if (isAbsolute(path)) {
      bases.push_back(path);
    } else {
      bases = s_.machine.volumes();
    }
    const std::string relative = !parent.empty() || !isAbsolute(path) ? path : std::string();
    // A signature of the Signature table is a file; the emulated disk holds no files.
    if (fileSignatures_.count(std::string(signature))) return std::nullopt;
    for (const std::string& base : bases)
      if (auto found = searchDirectory(base, relative, depth)) return found;
    return std::nullopt;
  }

  std::optional<std::string> searchDirectory(const std::string& base, const std::string& relative,
                                             int depth) {
    std::vector<std::string> level{normalizeDirectoryPath(base)};
    for (int d = 0; d <= depth && !level.empty(); ++d) {
      std::vector<std::string> next;
      for (const std::string& dir : level) {
        const std::string candidate = normalizeDirectoryPath(dir + relative);
        if (++visited_ > kMaxVisited) return std::nullopt;
        if (!candidate.empty() && disk_.exists(candidate)) return candidate;
        if (d == depth) continue;
        for (const std::string& sub : disk_.subdirectories(dir)) {
          next.push_back(dir + sub + "\\");
        }
      }
      level = std::move(next);
    }
    return std::nullopt;
  }

  State& s_;
  const EmulatedDisk disk_;
  const TableRows drLocator_;
  std::multimap<std::string, std::size_t> drRows_;  // signature -> DrLocator row
  std::set<std::string> fileSignatures_;
  std::size_t visited_ = 0;
  std::map<std::string, std::optional<std::string>> memo_;
  std::set<std::string> active_;
};

}  // namespace

ActionStatus runAppSearch(State& state) {
  Locator locator(state);
  const TableRows rows(*state.db, "AppSearch", {"Property", "Signature_"});
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const std::string property = rows.text(i, 0);
    if (property.empty()) continue;
    if (auto found = locator.find(rows.text(i, 1))) state.setProperty(property, *found);
  }
  return ActionStatus::Success;
}

ActionStatus runCcpSearch(State& state, bool removableMedia) {
  // RMCCPSearch looks on removable media only, and the machine has none.
  if (removableMedia) return ActionStatus::Success;
  Locator locator(state);
  const TableRows rows(*state.db, "CCPSearch", {"Signature_"});
  for (std::size_t i = 0; i < rows.size(); ++i)
    if (locator.find(rows.text(i, 0))) {
      state.setProperty("CCP_Success", "1");
      break;
    }
  return ActionStatus::Success;
}

}  // namespace msi
