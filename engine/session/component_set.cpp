#include "engine/session/component_set.h"

#include <algorithm>
#include <limits>
#include <string_view>

#include "engine/session/table_rows.h"

namespace msi {
namespace {

constexpr int kFileNoncompressed = 0x2000;
constexpr int kFileCompressed = 0x4000;

bool installs(InstallState s) {
  return s == InstallState::Local || s == InstallState::Source || s == InstallState::Advertised;
}

// Indices of `texts` sorted by text, each text once: the first index that holds it. `kept`
// tells, by index, which ones those are.
std::vector<std::uint32_t> firstOfEach(const ComponentSet::Texts& texts, std::vector<bool>& kept) {
  std::vector<std::uint32_t> order(texts.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = static_cast<std::uint32_t>(i);
  std::stable_sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) { return texts[a] < texts[b]; });
  kept.assign(texts.size(), false);
  std::size_t out = 0;
  for (const std::uint32_t i : order) {
    if (out && texts[order[out - 1]] == texts[i]) continue;
    order[out++] = i;
    kept[i] = true;
  }
  order.resize(out);
  return order;
}

// `items` and their texts put in `order`; returns each old index's new one (for those kept).
template <typename T>
std::vector<std::uint32_t> reorder(std::vector<T>& items, ComponentSet::Texts& texts,
                                   const std::vector<std::uint32_t>& order) {
  std::vector<std::uint32_t> renumbered(items.size(), 0);
  std::vector<T> sorted;
  sorted.reserve(order.size());
  ComponentSet::Texts sortedTexts;
  for (const std::uint32_t i : order) {
    renumbered[i] = static_cast<std::uint32_t>(sorted.size());
    sorted.push_back(items[i]);
    sortedTexts.push(texts[i]);
  }
  items = std::move(sorted);
  texts = std::move(sortedTexts);
  texts.shrinkToFit();
  return renumbered;
}

// The index of `name` in `texts`, which are in order.
std::optional<std::size_t> lookup(const ComponentSet::Texts& texts, std::string_view name) {
  std::size_t low = 0, high = texts.size();
  while (low < high) {
    const std::size_t mid = low + (high - low) / 2;
    if (texts[mid] < name)
      low = mid + 1;
    else
      high = mid;
  }
  if (low == texts.size() || texts[low] != name) return std::nullopt;
  return low;
}

// Lets go of a table read here only, once its rows are read: what costing needs is kept apart.
class ReadOnce {
 public:
  ReadOnce(Database& db, std::string_view table) : db_(db), table_(table), wasLoaded_(db.isLoaded(table)) {}
  ~ReadOnce() {
    if (!wasLoaded_) db_.release(table_);
  }
  ReadOnce(const ReadOnce&) = delete;
  ReadOnce& operator=(const ReadOnce&) = delete;

 private:
  Database& db_;
  std::string_view table_;
  bool wasLoaded_;
};

}  // namespace

void ComponentSet::Texts::push(std::string_view text) {
  if (bytes_.size() + text.size() > std::numeric_limits<std::uint32_t>::max())
    throw Error("the names of the components and files exceed 4 GB");
  bytes_ += text;
  ends_.push_back(static_cast<std::uint32_t>(bytes_.size()));
}

void ComponentSet::Texts::shrinkToFit() {
  bytes_.shrink_to_fit();
  ends_.shrink_to_fit();
}

ComponentSet ComponentSet::load(Database& db, const DirectoryTree& directories, FeatureTree& features,
                                std::uint32_t clusterSize, bool compressedByDefault) {
  ComponentSet set;
  set.db_ = &db;
  {
    const ReadOnce once(db, "Component");
    const TableRows components(db, "Component", {"Component", "ComponentId", "Directory_", "Attributes", "Condition"});
    set.entries_.reserve(components.size());
    for (std::size_t i = 0; i < components.size(); ++i) {
      const std::string name = components.text(i, 0);
      if (name.empty()) continue;
      ComponentEntry c;
      // A component without a ComponentId is unmanaged.
      c.installed = components.text(i, 1).empty() ? InstallState::Unknown : InstallState::Absent;
      if (const auto dir = directories.find(components.text(i, 2))) c.directory = static_cast<std::uint32_t>(*dir);
      c.attributes = components.integer(i, 3).value_or(0);
      std::string condition = components.text(i, 4);
      if (!condition.empty())
        set.conditions_.emplace_back(static_cast<std::uint32_t>(set.entries_.size()), std::move(condition));
      set.names_.push(name);
      set.entries_.push_back(c);
    }
  }
  // In the order of their names; of a name given twice, the first row counts.
  std::vector<bool> kept;
  const std::vector<std::uint32_t> renumbered = reorder(set.entries_, set.names_, firstOfEach(set.names_, kept));
  std::erase_if(set.conditions_, [&](const auto& c) { return !kept[c.first]; });
  for (auto& c : set.conditions_) c.first = renumbered[c.first];

  {
    const ReadOnce once(db, "File");
    const TableRows files(db, "File", {"File", "Component_", "FileSize", "Attributes"});
    // Size and packing of each file read, until the ones named twice are known.
    struct Content {
      std::uint32_t size;
      bool compressed;
    };
    std::vector<Content> contents;
    set.files_.reserve(files.size());
    contents.reserve(files.size());
    for (std::size_t i = 0; i < files.size(); ++i) {
      const std::string key = files.text(i, 0);
      if (key.empty()) continue;
      const auto component = set.find(files.text(i, 1));
      if (!component) continue;
      const int attributes = files.integer(i, 3).value_or(0);
      const bool compressed = (attributes & kFileCompressed)      ? true
                              : (attributes & kFileNoncompressed) ? false
                                                                  : compressedByDefault;
      set.fileKeys_.push(key);
      set.files_.push_back(FileEntry{static_cast<std::uint32_t>(i), static_cast<std::uint32_t>(*component)});
      contents.push_back({static_cast<std::uint32_t>(std::max<std::int32_t>(0, files.integer(i, 2).value_or(0))),
                          compressed});
    }
    const std::vector<std::uint32_t> order = firstOfEach(set.fileKeys_, kept);
    const std::uint64_t cluster = clusterSize ? clusterSize : 1;
    for (const std::uint32_t f : order) {
      ComponentEntry& c = set.entries_[set.files_[f].component];
      c.cost += (contents[f].size + cluster - 1) / cluster * cluster;
      c.packedFiles = c.packedFiles || contents[f].compressed;
    }
    reorder(set.files_, set.fileKeys_, order);
  }

  const ReadOnce once(db, "FeatureComponents");
  const TableRows links(db, "FeatureComponents", {"Feature_", "Component_"});
  for (std::size_t i = 0; i < links.size(); ++i) {
    const auto feature = features.find(links.text(i, 0));
    const auto component = set.find(links.text(i, 1));
    if (!feature || !component) continue;
    features.entries()[*feature].components.push_back(*component);
    set.links_.push_back(Link{static_cast<std::uint32_t>(*component), static_cast<std::uint32_t>(*feature)});
  }
  std::stable_sort(set.links_.begin(), set.links_.end(),
                   [](const Link& a, const Link& b) { return a.component < b.component; });
  set.links_.shrink_to_fit();
  return set;
}

std::optional<std::size_t> ComponentSet::find(std::string_view name) const { return lookup(names_, name); }

std::optional<std::size_t> ComponentSet::findFile(std::string_view key) const { return lookup(fileKeys_, key); }

ComponentSet::FileNames ComponentSet::fileNames(const FileEntry& file) const {
  FileNames names;
  if (!db_ || !db_->hasTable("File")) return names;
  const Table& table = db_->table("File");
  const auto column = table.schema().indexOf("FileName");
  if (!column || file.row >= table.size()) return names;
  const Row row = table.rowCopy(file.row);
  const std::string name = *column < row.size() ? row[*column].text() : std::string();
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
      if (entries_[c].packedFiles && entries_[c].enabled) f.request = InstallState::Local;
  }
  auto link = links_.begin();
  for (std::size_t ci = 0; ci < entries_.size(); ++ci) {
    ComponentEntry& c = entries_[ci];
    // This component's links: those of the components before it are behind.
    const auto first = link;
    while (link != links_.end() && link->component == ci) ++link;
    c.action = InstallState::Unknown;
    if (!c.enabled) continue;
    bool local = false, source = false, advertised = false;
    for (auto l = first; l != link; ++l) {
      const std::size_t fi = l->feature;
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
