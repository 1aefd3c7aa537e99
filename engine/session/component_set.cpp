#include "engine/session/component_set.h"

#include <algorithm>
#include <string_view>
#include <unordered_set>

#include "engine/session/table_rows.h"

namespace msi {
namespace {

constexpr int kFileNoncompressed = 0x2000;
constexpr int kFileCompressed = 0x4000;

bool installs(InstallState s) {
  return s == InstallState::Local || s == InstallState::Source || s == InstallState::Advertised;
}

// Indices of `items` sorted by the name `nameOf` gives.
template <typename T, typename NameOf>
std::vector<std::uint32_t> sortedBy(const std::vector<T>& items, NameOf nameOf) {
  std::vector<std::uint32_t> order(items.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = static_cast<std::uint32_t>(i);
  std::sort(order.begin(), order.end(),
            [&](std::uint32_t a, std::uint32_t b) { return nameOf(items[a]) < nameOf(items[b]); });
  return order;
}

template <typename T, typename NameOf>
std::optional<std::size_t> lookup(const std::vector<std::uint32_t>& order, const std::vector<T>& items,
                                  std::string_view name, NameOf nameOf) {
  const auto it = std::lower_bound(order.begin(), order.end(), name, [&](std::uint32_t i, std::string_view n) {
    return std::string_view(nameOf(items[i])) < n;
  });
  if (it == order.end() || nameOf(items[*it]) != name) return std::nullopt;
  return *it;
}

// Items grouped by owner, keeping their order within an owner: owner o's items are
// list[start[o] .. start[o + 1]), each given by `item(i)` for the i-th of `owners`.
template <typename Item>
void groupBy(const std::vector<std::uint32_t>& owners, std::size_t ownerCount, std::vector<std::uint32_t>& start,
             std::vector<std::uint32_t>& list, Item item) {
  start.assign(ownerCount + 1, 0);
  for (const std::uint32_t o : owners) ++start[o + 1];
  for (std::size_t o = 0; o < ownerCount; ++o) start[o + 1] += start[o];
  list.assign(owners.size(), 0);
  std::vector<std::uint32_t> next(start.begin(), start.end() - 1);
  for (std::size_t i = 0; i < owners.size(); ++i) list[next[owners[i]]++] = static_cast<std::uint32_t>(item(i));
}

}  // namespace

ComponentSet ComponentSet::load(Database& db, FeatureTree& features, std::uint32_t clusterSize,
                                bool compressedByDefault) {
  ComponentSet set;
  const TableRows components(db, "Component", {"Component", "ComponentId", "Directory_", "Attributes", "Condition"});
  // Names seen so far: views into entries_, which does not grow past its reservation.
  std::unordered_set<std::string_view> seen;
  set.entries_.reserve(components.size());
  for (std::size_t i = 0; i < components.size(); ++i) {
    std::string name = components.text(i, 0);
    if (name.empty() || seen.count(name)) continue;
    ComponentEntry c;
    c.name = std::move(name);
    // A component without a ComponentId is unmanaged.
    c.installed = components.text(i, 1).empty() ? InstallState::Unknown : InstallState::Absent;
    c.directory = components.text(i, 2);
    c.attributes = components.integer(i, 3).value_or(0);
    c.condition = components.text(i, 4);
    set.entries_.push_back(std::move(c));
    seen.insert(set.entries_.back().name);
  }
  set.entries_.shrink_to_fit();
  set.byName_ = sortedBy(set.entries_, [](const ComponentEntry& c) -> const std::string& { return c.name; });
  seen = {};

  const TableRows files(db, "File", {"File", "Component_", "FileSize", "Attributes"});
  if (db.hasTable("File")) {
    set.fileTable_ = &db.table("File");
    set.fileNameColumn_ = set.fileTable_->schema().indexOf("FileName");
  }
  set.files_.reserve(files.size());
  for (std::size_t i = 0; i < files.size(); ++i) {
    std::string key = files.text(i, 0);
    const auto component = set.find(files.text(i, 1));
    if (key.empty() || !component || seen.count(key)) continue;
    FileEntry f;
    f.key = std::move(key);
    f.row = static_cast<std::uint32_t>(i);
    f.component = static_cast<std::uint32_t>(*component);
    f.size = static_cast<std::uint64_t>(std::max<std::int32_t>(0, files.integer(i, 2).value_or(0)));
    const int attributes = files.integer(i, 3).value_or(0);
    f.compressed = (attributes & kFileCompressed)      ? true
                   : (attributes & kFileNoncompressed) ? false
                                                       : compressedByDefault;
    ComponentEntry& c = set.entries_[f.component];
    const std::uint64_t cluster = clusterSize ? clusterSize : 1;
    c.cost += (f.size + cluster - 1) / cluster * cluster;
    set.files_.push_back(std::move(f));
    seen.insert(set.files_.back().key);
  }
  set.files_.shrink_to_fit();
  set.byFile_ = sortedBy(set.files_, [](const FileEntry& f) -> const std::string& { return f.key; });
  seen = {};
  std::vector<std::uint32_t> owners(set.files_.size());
  for (std::size_t i = 0; i < owners.size(); ++i) owners[i] = set.files_[i].component;
  groupBy(owners, set.entries_.size(), set.fileStart_, set.fileList_, [](std::size_t i) { return i; });

  const TableRows links(db, "FeatureComponents", {"Feature_", "Component_"});
  std::vector<std::uint32_t> linkedComponents, linkedFeatures;
  for (std::size_t i = 0; i < links.size(); ++i) {
    const auto feature = features.find(links.text(i, 0));
    const auto component = set.find(links.text(i, 1));
    if (!feature || !component) continue;
    features.entries()[*feature].components.push_back(*component);
    linkedComponents.push_back(static_cast<std::uint32_t>(*component));
    linkedFeatures.push_back(static_cast<std::uint32_t>(*feature));
  }
  groupBy(linkedComponents, set.entries_.size(), set.featureStart_, set.featureList_,
          [&](std::size_t i) { return linkedFeatures[i]; });
  return set;
}

std::optional<std::size_t> ComponentSet::find(std::string_view name) const {
  return lookup(byName_, entries_, name, [](const ComponentEntry& c) -> const std::string& { return c.name; });
}

std::optional<std::size_t> ComponentSet::findFile(std::string_view key) const {
  return lookup(byFile_, files_, key, [](const FileEntry& f) -> const std::string& { return f.key; });
}

ComponentSet::FileNames ComponentSet::fileNames(const FileEntry& file) const {
  FileNames names;
  if (!fileTable_ || !fileNameColumn_ || file.row >= fileTable_->size()) return names;
  const Row row = fileTable_->rowCopy(file.row);
  const std::string name = *fileNameColumn_ < row.size() ? row[*fileNameColumn_].text() : std::string();
  const std::size_t bar = name.find('|');
  names.shortName = name.substr(0, bar);
  names.longName = bar == std::string::npos ? name : name.substr(bar + 1);
  if (names.longName.empty()) names.longName = names.shortName;
  return names;
}

void ComponentSet::computeActions(FeatureTree& features) {
  for (FeatureEntry& f : features.entries()) {
    if (f.request != InstallState::Source) continue;
    for (std::size_t c : f.components)
      for (std::size_t file : filesOf(c))
        if (files_[file].compressed && entries_[c].enabled) f.request = InstallState::Local;
  }
  for (std::size_t ci = 0; ci < entries_.size(); ++ci) {
    ComponentEntry& c = entries_[ci];
    c.action = InstallState::Unknown;
    if (!c.enabled) continue;
    bool local = false, source = false, advertised = false;
    for (std::size_t fi : featuresOf(ci)) {
      InstallState r = features.disabled(fi) ? InstallState::Unknown : features.entries()[fi].request;
      if (r == InstallState::Default) r = features.defaultRequest(fi);
      local |= r == InstallState::Local;
      source |= r == InstallState::Source;
      advertised |= r == InstallState::Advertised;
    }
    const bool sourceOnly = c.attributes & kComponentSourceOnly;
    const bool optional = c.attributes & kComponentOptional;
    if (local || source) {
      if (sourceOnly)
        c.action = InstallState::Source;
      else if (optional && !local)
        c.action = InstallState::Source;
      else
        c.action = InstallState::Local;
    } else if (advertised) {
      c.action = InstallState::Advertised;
    }
    if (!installs(c.action) || c.action == c.installed) c.action = InstallState::Unknown;
  }
}

}  // namespace msi
