#include "engine/session/feature_tree.h"

#include <set>

#include "engine/session/table_rows.h"

namespace msi {
namespace {

bool installs(InstallState s) {
  return s == InstallState::Local || s == InstallState::Source || s == InstallState::Advertised;
}

bool isAll(std::string_view list) {
  return list.size() == 3 && (list[0] | 0x20) == 'a' && (list[1] | 0x20) == 'l' &&
         (list[2] | 0x20) == 'l';
}

std::set<std::string_view> splitList(std::string_view list) {
  std::set<std::string_view> names;
  std::size_t pos = 0;
  while (pos <= list.size()) {
    std::size_t end = list.find(',', pos);
    if (end == std::string_view::npos) end = list.size();
    names.insert(list.substr(pos, end - pos));
    pos = end + 1;
  }
  return names;
}

}  // namespace

bool FeatureOverrides::any() const {
  return !addLocal.empty() || !remove.empty() || !addSource.empty() || !addDefault.empty() ||
         !reinstall.empty() || !advertise.empty();
}

FeatureTree FeatureTree::load(Database& db) {
  FeatureTree tree;
  const TableRows rows(db, "Feature",
                       {"Feature", "Feature_Parent", "Title", "Description", "Display", "Level",
                        "Directory_", "Attributes"});
  for (std::size_t i = 0; i < rows.size(); ++i) {
    FeatureEntry f;
    f.name = rows.text(i, 0);
    if (f.name.empty() || tree.byName_.count(f.name)) continue;
    f.parentKey = rows.text(i, 1);
    if (f.parentKey == f.name) f.parentKey.clear();
    f.title = rows.text(i, 2);
    f.description = rows.text(i, 3);
    if (!rows.isNull(i, 4)) f.display = rows.integer(i, 4);
    f.authoredLevel = f.level = rows.integer(i, 5).value_or(0);
    f.directory = rows.text(i, 6);
    f.attributes = rows.integer(i, 7).value_or(0);
    tree.byName_.emplace(f.name, tree.entries_.size());
    tree.entries_.push_back(std::move(f));
  }
  for (std::size_t i = 0; i < tree.entries_.size(); ++i) {
    FeatureEntry& f = tree.entries_[i];
    if (f.parentKey.empty()) continue;
    const auto parent = tree.find(f.parentKey);
    if (!parent)
      throw Error("table `Feature`: feature `" + f.name + "` names the parent `" + f.parentKey +
                  "`, which is not in the table");
    f.parent = *parent;
    tree.entries_[*parent].children.push_back(i);
  }
  // Depths, walking each parent chain once; a chain that comes back to itself is a cycle.
  std::vector<int> depth(tree.entries_.size(), -1);
  std::vector<char> onPath(tree.entries_.size(), 0);
  std::vector<std::size_t> path;
  for (std::size_t i = 0; i < tree.entries_.size(); ++i) {
    path.clear();
    std::size_t cur = i;
    while (depth[cur] < 0) {
      if (onPath[cur])
        throw Error("table `Feature`: the parents of feature `" + tree.entries_[cur].name +
                    "` form a cycle");
      onPath[cur] = 1;
      path.push_back(cur);
      if (!tree.entries_[cur].parent) {
        depth[cur] = 0;
        path.pop_back();
        break;
      }
      cur = *tree.entries_[cur].parent;
    }
    for (auto it = path.rbegin(); it != path.rend(); ++it) {
      depth[*it] = depth[*tree.entries_[*it].parent] + 1;
      if (depth[*it] >= kMaxFeatureDepth)
        throw Error("table `Feature`: feature `" + tree.entries_[*it].name + "` is nested " +
                    std::to_string(depth[*it] + 1) + " levels deep, more than the " +
                    std::to_string(kMaxFeatureDepth) + " allowed");
    }
    for (std::size_t p : path) onPath[p] = 0;
  }
  for (std::size_t i = 0; i < tree.entries_.size(); ++i) tree.entries_[i].depth = depth[i];
  return tree;
}

std::optional<std::size_t> FeatureTree::find(std::string_view name) const {
  auto it = byName_.find(name);
  if (it == byName_.end()) return std::nullopt;
  return it->second;
}

std::vector<std::size_t> FeatureTree::topDownOrder() const {
  std::vector<std::size_t> order;
  std::vector<std::size_t> stack;
  for (std::size_t i = entries_.size(); i-- > 0;)
    if (!entries_[i].parent) stack.push_back(i);
  while (!stack.empty()) {
    const std::size_t i = stack.back();
    stack.pop_back();
    order.push_back(i);
    const auto& children = entries_[i].children;
    for (auto it = children.rbegin(); it != children.rend(); ++it) stack.push_back(*it);
  }
  return order;
}

bool FeatureTree::disabled(std::size_t index) const {
  for (std::optional<std::size_t> i = index; i; i = entries_[*i].parent)
    if (entries_[*i].level <= 0) return true;
  return false;
}

InstallState FeatureTree::defaultRequest(std::size_t index) const {
  const int a = entries_[index].attributes;
  if (a & kFeatureFavorSource) return InstallState::Source;
  if ((a & kFeatureFavorAdvertise) && !(a & kFeatureDisallowAdvertise))
    return InstallState::Advertised;
  return InstallState::Local;
}

void FeatureTree::applyList(std::string_view list, InstallState state, bool useDefault) {
  if (list.empty()) return;
  const bool all = isAll(list);
  const std::set<std::string_view> names = all ? std::set<std::string_view>() : splitList(list);
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    if (disabled(i) || (!all && !names.count(entries_[i].name))) continue;
    const int a = entries_[i].attributes;
    InstallState s = state;
    // ADDDEFAULT ignores FavorAdvertise; a feature that disallows advertising gets its default.
    if (useDefault || (s == InstallState::Advertised && (a & kFeatureDisallowAdvertise)))
      s = (a & kFeatureFavorSource) ? InstallState::Source : InstallState::Local;
    entries_[i].request = s;
  }
}

void FeatureTree::installParents(std::size_t index) {
  const InstallState state = entries_[index].request;
  for (std::optional<std::size_t> p = entries_[index].parent; p; p = entries_[*p].parent) {
    if (installs(entries_[*p].request)) break;
    entries_[*p].request = state;
  }
}

void FeatureTree::followParents() {
  for (std::size_t i : topDownOrder()) {
    FeatureEntry& f = entries_[i];
    if (!f.parent || !(f.attributes & kFeatureFollowParent) || disabled(i)) continue;
    if (installs(f.request) || (f.attributes & kFeatureUIDisallowAbsent))
      f.request = entries_[*f.parent].request;
  }
}

bool FeatureTree::computeRequests(int installLevel, const FeatureOverrides& overrides) {
  for (FeatureEntry& f : entries_) f.request = InstallState::Unknown;
  const std::vector<std::size_t> order = topDownOrder();
  const bool useOverrides = overrides.any();
  if (!useOverrides) {
    for (std::size_t i : order) {
      FeatureEntry& f = entries_[i];
      if (disabled(i) || f.level > installLevel) continue;
      if (f.parent && !installs(entries_[*f.parent].request)) continue;
      f.request = defaultRequest(i);
    }
  } else {
    applyList(overrides.addLocal, InstallState::Local, false);
    applyList(overrides.remove, InstallState::Absent, false);
    applyList(overrides.addSource, InstallState::Source, false);
    applyList(overrides.addDefault, InstallState::Local, true);
    // REINSTALL names installed features; on a fresh installation there are none.
    applyList(overrides.advertise, InstallState::Advertised, false);
    for (auto it = order.rbegin(); it != order.rend(); ++it)
      if (installs(entries_[*it].request)) installParents(*it);
  }
  followParents();
  return useOverrides;
}

void FeatureTree::setRequest(std::size_t index, InstallState state, bool wholeSubtree) {
  FeatureEntry& f = entries_.at(index);
  if (disabled(index))
    throw Error("feature `" + f.name + "` is disabled (Level 0) and cannot be installed");
  std::vector<std::size_t> subtree{index};
  for (std::size_t k = 0; k < subtree.size(); ++k)
    for (std::size_t c : entries_[subtree[k]].children) subtree.push_back(c);

  switch (state) {
    case InstallState::Absent:
    case InstallState::Unknown:
      for (std::size_t i : subtree) entries_[i].request = InstallState::Absent;
      break;
    case InstallState::Advertised:
      if (f.attributes & kFeatureDisallowAdvertise)
        throw Error("feature `" + f.name + "` cannot be advertised (DisallowAdvertise)");
      [[fallthrough]];
    case InstallState::Local:
    case InstallState::Source:
    case InstallState::Default:
      for (std::size_t i : subtree) {
        if (i != index && (!wholeSubtree || disabled(i))) continue;
        InstallState s = state == InstallState::Default ? defaultRequest(i) : state;
        if (s == InstallState::Advertised && (entries_[i].attributes & kFeatureDisallowAdvertise))
          s = (entries_[i].attributes & kFeatureFavorSource) ? InstallState::Source
                                                             : InstallState::Local;
        entries_[i].request = s;
      }
      installParents(index);
      break;
    default:
      throw Error("feature `" + f.name + "`: state " + std::to_string(static_cast<int>(state)) +
                  " cannot be requested");
  }
  followParents();
}

InstallState FeatureTree::action(std::size_t index) const {
  const FeatureEntry& f = entries_[index];
  if (disabled(index) || f.request == f.installed) return InstallState::Unknown;
  return f.request;
}

}  // namespace msi
