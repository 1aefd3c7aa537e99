#include "engine/session/directory_tree.h"

#include "engine/session/table_rows.h"

namespace msi {
namespace {

struct NamePair {
  std::string shortName, longName;
};

// "short|long" or one name for both; "." is the parent directory itself.
NamePair splitNames(std::string_view part) {
  NamePair names;
  const std::size_t bar = part.find('|');
  names.shortName = std::string(part.substr(0, bar));
  names.longName = bar == std::string_view::npos ? names.shortName : std::string(part.substr(bar + 1));
  if (names.longName.empty()) names.longName = names.shortName;
  if (names.shortName == ".") names.shortName.clear();
  if (names.longName == ".") names.longName.clear();
  return names;
}

std::string trimBlanks(std::string_view s) {
  const std::size_t b = s.find_first_not_of(' ');
  if (b == std::string_view::npos) return {};
  return std::string(s.substr(b, s.find_last_not_of(' ') - b + 1));
}

}  // namespace

std::string normalizeDirectoryPath(std::string_view path) {
  std::string out;
  if (path.starts_with("\\\\")) out = "\\\\";
  else if (path.starts_with("\\")) out = "\\";
  std::size_t pos = 0;
  while (pos <= path.size()) {
    std::size_t end = path.find('\\', pos);
    if (end == std::string_view::npos) end = path.size();
    const std::string segment = trimBlanks(path.substr(pos, end - pos));
    if (!segment.empty()) {
      out += segment;
      out += '\\';
    }
    pos = end + 1;
  }
  if (out == "\\" || out == "\\\\") return {};
  return out;
}

DirectoryTree DirectoryTree::load(Database& db) {
  DirectoryTree tree;
  const TableRows rows(db, "Directory", {"Directory", "Directory_Parent", "DefaultDir"});
  for (std::size_t i = 0; i < rows.size(); ++i) {
    DirectoryEntry d;
    d.key = rows.text(i, 0);
    if (d.key.empty() || tree.byKey_.count(d.key)) continue;
    d.parentKey = rows.text(i, 1);
    if (d.parentKey == d.key) d.parentKey.clear();
    const std::string defaultDir = rows.text(i, 2);
    const std::size_t colon = defaultDir.find(':');
    const NamePair target = splitNames(std::string_view(defaultDir).substr(0, colon));
    const NamePair source = colon == std::string::npos
                                ? target
                                : splitNames(std::string_view(defaultDir).substr(colon + 1));
    d.targetName = target.longName;
    d.targetShortName = target.shortName;
    d.sourceName = source.longName;
    d.sourceShortName = source.shortName;
    tree.byKey_.emplace(d.key, tree.entries_.size());
    tree.entries_.push_back(std::move(d));
  }
  for (std::size_t i = 0; i < tree.entries_.size(); ++i) {
    DirectoryEntry& d = tree.entries_[i];
    if (d.parentKey.empty()) continue;
    const auto parent = tree.find(d.parentKey);
    if (!parent)
      throw Error("table `Directory`: directory `" + d.key + "` names the parent `" + d.parentKey +
                  "`, which is not in the table");
    d.parent = *parent;
    tree.entries_[*parent].children.push_back(i);
  }
  // Every directory must lead up to a root; walk each parent chain once.
  enum : char { Unseen, OnPath, Done };
  std::vector<char> state(tree.entries_.size(), Unseen);
  std::vector<std::size_t> path;
  for (std::size_t i = 0; i < tree.entries_.size(); ++i) {
    path.clear();
    std::size_t cur = i;
    while (state[cur] != Done) {
      if (state[cur] == OnPath)
        throw Error("table `Directory`: the parents of directory `" + tree.entries_[cur].key +
                    "` form a cycle");
      state[cur] = OnPath;
      path.push_back(cur);
      if (!tree.entries_[cur].parent) break;
      cur = *tree.entries_[cur].parent;
    }
    for (std::size_t p : path) state[p] = Done;
  }
  return tree;
}

std::optional<std::size_t> DirectoryTree::find(std::string_view key) const {
  auto it = byKey_.find(key);
  if (it == byKey_.end()) return std::nullopt;
  return it->second;
}

std::vector<std::size_t> DirectoryTree::topDownOrder(std::size_t from) const {
  std::vector<std::size_t> order;
  std::vector<std::size_t> stack{from};
  while (!stack.empty()) {
    const std::size_t i = stack.back();
    stack.pop_back();
    order.push_back(i);
    const auto& children = entries_[i].children;
    for (auto it = children.rbegin(); it != children.rend(); ++it) stack.push_back(*it);
  }
  return order;
}

bool DirectoryTree::resolveTarget(std::size_t index, const DirectoryInputs& inputs,
                                  bool readProperty, std::vector<std::string>& problems) {
  DirectoryEntry& d = entries_[index];
  d.target.clear();
  d.targetShort.clear();
  const std::string name = inputs.shortTargetNames ? d.targetShortName : d.targetName;
  const std::string shortName = d.targetShortName.empty() ? d.targetName : d.targetShortName;
  const std::string own = readProperty ? inputs.property(d.key) : std::string();
  std::string path, shortPath;
  if (!own.empty()) {
    path = shortPath = own;
  } else if (!d.parent) {
    const std::string rootDrive = inputs.property("ROOTDRIVE");
    if (d.key == "TARGETDIR") {
      path = shortPath = rootDrive;
    } else {
      path = rootDrive + "\\" + name;
      shortPath = rootDrive + "\\" + shortName;
    }
  } else {
    const DirectoryEntry& parent = entries_[*d.parent];
    if (parent.target.empty()) return false;  // the parent's problem is reported already
    path = parent.target + name;
    shortPath = parent.targetShort + shortName;
  }
  std::string normalized = normalizeDirectoryPath(path);
  if (normalized.size() > kMaxDirectoryPath) {
    problems.push_back("directory `" + d.key + "`: the resolved path is longer than " +
                       std::to_string(kMaxDirectoryPath) + " characters");
    return false;
  }
  if (normalized.empty()) {
    problems.push_back("directory `" + d.key + "`: the resolved path is empty");
    return false;
  }
  d.target = std::move(normalized);
  d.targetShort = normalizeDirectoryPath(shortPath);
  return true;
}

std::vector<std::string> DirectoryTree::resolve(const DirectoryInputs& inputs) {
  std::vector<std::string> problems;
  for (std::size_t root = 0; root < entries_.size(); ++root) {
    if (entries_[root].parent) continue;
    for (std::size_t i : topDownOrder(root)) {
      resolveTarget(i, inputs, true, problems);
      DirectoryEntry& d = entries_[i];
      const std::string name = inputs.shortSourceNames ? d.sourceShortName : d.sourceName;
      if (!d.parent) {
        std::string root = inputs.property("SourceDir");
        if (root.empty()) root = inputs.property("SOURCEDIR");
        d.source = normalizeDirectoryPath(root);
      } else {
        const std::string& parentSource = entries_[*d.parent].source;
        d.source = parentSource.empty() ? std::string() : normalizeDirectoryPath(parentSource + name);
        if (d.source.size() > kMaxDirectoryPath) d.source.clear();
      }
    }
  }
  resolved_ = true;
  return problems;
}

std::vector<std::size_t> DirectoryTree::setTarget(std::size_t index, std::string_view path,
                                                  const DirectoryInputs& inputs) {
  DirectoryEntry& d = entries_.at(index);
  std::string normalized = normalizeDirectoryPath(path);
  if (normalized.empty())
    throw Error("directory `" + d.key + "`: the path `" + std::string(path) + "` is empty");
  if (normalized.size() > kMaxDirectoryPath)
    throw Error("directory `" + d.key + "`: the path is longer than " +
                std::to_string(kMaxDirectoryPath) + " characters");
  if (normalized == d.target) return {};
  d.target = normalized;
  d.targetShort = std::move(normalized);
  std::vector<std::size_t> changed{index};
  std::vector<std::string> problems;
  const std::vector<std::size_t> below = topDownOrder(index);
  for (std::size_t k = 1; k < below.size(); ++k) {
    resolveTarget(below[k], inputs, false, problems);
    changed.push_back(below[k]);
  }
  return changed;
}

}  // namespace msi
