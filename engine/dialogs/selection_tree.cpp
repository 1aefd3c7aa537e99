#include "engine/dialogs/selection_tree.h"

#include <algorithm>
#include <map>

#include "engine/dialogs/control_model.h"
#include "engine/session/component_set.h"
#include "engine/session/formatted.h"

namespace msi::dialogs {
namespace {

struct RunPlaces {
  bool local = false, source = false, any = false;
};

// Where each feature's components may run, by feature name, from the components costing read.
std::map<std::string, RunPlaces, std::less<>> runPlaces(const Session& session, const FeatureTree& tree) {
  std::map<std::string, RunPlaces, std::less<>> out;
  const ComponentSet* components = session.componentSet();
  if (!components) return out;
  for (const FeatureEntry& feature : tree.entries()) {
    for (const std::size_t c : feature.components) {
      RunPlaces& places = out[feature.name];
      places.any = true;
      const int where = components->entries()[c].attributes & (kComponentSourceOnly | kComponentOptional);
      if (where != kComponentSourceOnly) places.local = true;
      if (where != 0) places.source = true;
    }
  }
  return out;
}

bool listed(const FeatureTree& tree, std::size_t i) {
  const FeatureEntry& e = tree.entries()[i];
  return e.display && *e.display != 0 && !tree.disabled(i);
}

std::vector<std::size_t> listedChildren(const FeatureTree& tree, const std::vector<std::size_t>& candidates) {
  std::vector<std::size_t> out;
  for (std::size_t c : candidates)
    if (c < tree.entries().size() && listed(tree, c)) out.push_back(c);
  std::stable_sort(out.begin(), out.end(), [&](std::size_t a, std::size_t b) {
    return *tree.entries()[a].display < *tree.entries()[b].display;
  });
  return out;
}

void addItems(const FeatureTree& tree, const std::vector<std::size_t>& level, int depth,
              const std::map<std::string, RunPlaces, std::less<>>& places, std::vector<TreeItem>& out) {
  // The tree's loader bounds the depth; the guard keeps a broken tree from recursing on.
  if (depth > kMaxFeatureDepth) return;
  for (std::size_t i : listedChildren(tree, level)) {
    const FeatureEntry& e = tree.entries()[i];
    TreeItem item;
    item.feature = e.name;
    item.title = e.title;
    item.description = e.description;
    item.directory = e.directory;
    item.depth = depth;
    item.expanded = (*e.display % 2) != 0;
    item.state = e.request == InstallState::Unknown ? InstallState::Absent : e.request;
    item.allowAbsent = (e.attributes & kFeatureUIDisallowAbsent) == 0;
    item.allowAdvertise = (e.attributes & kFeatureDisallowAdvertise) == 0;
    if (const auto p = places.find(e.name); p != places.end() && p->second.any) {
      item.allowLocal = p->second.local;
      item.allowSource = p->second.source;
    }
    item.hasChildren = !listedChildren(tree, e.children).empty();
    out.push_back(std::move(item));
    addItems(tree, e.children, depth + 1, places, out);
  }
}

// The subfeatures listed below `index`, and those among them that will be installed.
void countChildren(const FeatureTree& tree, std::size_t index, int depth, int& listedCount,
                   int& selected, std::uint64_t& cost, Session& session) {
  if (depth > kMaxFeatureDepth) return;
  for (std::size_t c : listedChildren(tree, tree.entries()[index].children)) {
    const FeatureEntry& e = tree.entries()[c];
    ++listedCount;
    if (e.request == InstallState::Local || e.request == InstallState::Source ||
        e.request == InstallState::Advertised)
      ++selected;
    if (e.request == InstallState::Local) cost += session.featureCost(e.name);
    countChildren(tree, c, depth + 1, listedCount, selected, cost, session);
  }
}

std::string_view stateWord(InstallState state) {
  switch (state) {
    case InstallState::Local: return "Local";
    case InstallState::Source: return "Network";
    case InstallState::Advertised: return "Advertise";
    default: return "Absent";
  }
}

}  // namespace

std::vector<TreeItem> buildSelectionTree(const Session& session) {
  std::vector<TreeItem> items;
  const FeatureTree* tree = session.featureTree();
  if (!tree) return items;
  std::vector<std::size_t> roots;
  for (std::size_t i = 0; i < tree->entries().size(); ++i)
    if (!tree->entries()[i].parent) roots.push_back(i);
  addItems(*tree, roots, 0, runPlaces(session, *tree), items);
  return items;
}

std::vector<FeatureChoice> treeChoices(const TreeItem& item) {
  std::vector<FeatureChoice> out;
  if (item.allowLocal) out.push_back(FeatureChoice::Local);
  if (item.allowLocal && item.hasChildren) out.push_back(FeatureChoice::AllLocal);
  if (item.allowSource) out.push_back(FeatureChoice::Source);
  if (item.allowSource && item.hasChildren) out.push_back(FeatureChoice::AllSource);
  if (item.allowAdvertise) out.push_back(FeatureChoice::Advertise);
  if (item.allowAbsent) out.push_back(FeatureChoice::Absent);
  return out;
}

SelectionInfo describeSelection(Session& session, std::string_view feature) {
  SelectionInfo info;
  const FeatureTree* tree = session.featureTree();
  const auto index = tree ? tree->find(feature) : std::nullopt;
  if (!index) return info;
  const FeatureEntry& e = tree->entries()[*index];
  info.description = e.description;
  info.pathOn = !e.directory.empty();
  if (info.pathOn) info.path = session.targetPath(e.directory).value_or(std::string());

  const InstallState state = e.request == InstallState::Unknown ? InstallState::Absent : e.request;
  info.action = uiText(session, "SelAbsent" + std::string(stateWord(state)));
  if (info.action.empty()) info.action = std::string(stateWord(state));

  const std::uint64_t own = state == InstallState::Local ? session.featureCost(e.name) : 0;
  int listedCount = 0, selected = 0;
  std::uint64_t childCost = 0;
  countChildren(*tree, *index, 0, listedCount, selected, childCost, session);
  if (listedCount == 0) {
    std::string pattern = uiText(session, "SelChildCostPos");
    if (pattern.empty()) pattern = "Needs [1] on the hard drive.";
    const std::vector<std::string> fields{pattern, formatSize(session, own)};
    info.size = formatRecord(fields, session);
  } else {
    std::string pattern = uiText(session, "SelParentCostPosPos");
    if (pattern.empty()) pattern = "Needs [1] on the hard drive; [2] of [3] subfeatures need [4].";
    const std::vector<std::string> fields{pattern, formatSize(session, own),
                                          std::to_string(selected), std::to_string(listedCount),
                                          formatSize(session, childCost)};
    info.size = formatRecord(fields, session);
  }
  return info;
}

void chooseFeatureState(Session& session, const Control& tree, std::string_view feature,
                        FeatureChoice state, const std::string& where) {
  const auto item = std::find_if(tree.tree.begin(), tree.tree.end(),
                                 [&](const TreeItem& t) { return t.feature == feature; });
  if (item == tree.tree.end())
    throw OperationError(where + ": the selection tree `" + tree.name + "` does not list feature `" +
                         std::string(feature) + "`");
  const std::vector<FeatureChoice> offered = treeChoices(*item);
  if (std::find(offered.begin(), offered.end(), state) == offered.end()) {
    std::string why;
    switch (state) {
      case FeatureChoice::Absent: why = "cannot be left out (UIDisallowAbsent)"; break;
      case FeatureChoice::Advertise: why = "cannot be installed on demand (DisallowAdvertise)"; break;
      case FeatureChoice::Local:
      case FeatureChoice::AllLocal:
        why = item->allowLocal ? "has no features below it" : "has only components that run from the source";
        break;
      case FeatureChoice::Source:
      case FeatureChoice::AllSource:
        why = item->allowSource ? "has no features below it" : "has only components that cannot run from the source";
        break;
    }
    throw OperationError(where + ": feature `" + std::string(feature) + "` " + why);
  }
  InstallState request = InstallState::Local;
  switch (state) {
    case FeatureChoice::Local:
    case FeatureChoice::AllLocal: request = InstallState::Local; break;
    case FeatureChoice::Source:
    case FeatureChoice::AllSource: request = InstallState::Source; break;
    case FeatureChoice::Advertise: request = InstallState::Advertised; break;
    case FeatureChoice::Absent: request = InstallState::Absent; break;
  }
  const bool entire = state == FeatureChoice::AllLocal || state == FeatureChoice::AllSource;
  try {
    session.setFeatureRequestState(feature, request, entire);
  } catch (const Error& e) {
    throw OperationError(where + ": " + e.what());
  }
}

}  // namespace msi::dialogs
