#include "engine/session/component_set.h"

#include <algorithm>

#include "engine/session/table_rows.h"

namespace msi {
namespace {

constexpr int kFileNoncompressed = 0x2000;
constexpr int kFileCompressed = 0x4000;

bool installs(InstallState s) {
  return s == InstallState::Local || s == InstallState::Source || s == InstallState::Advertised;
}

}  // namespace

ComponentSet ComponentSet::load(Database& db, FeatureTree& features, std::uint32_t clusterSize,
                                bool compressedByDefault) {
  ComponentSet set;
  const TableRows components(db, "Component",
                             {"Component", "ComponentId", "Directory_", "Attributes", "Condition",
                              "KeyPath"});
  for (std::size_t i = 0; i < components.size(); ++i) {
    ComponentEntry c;
    c.name = components.text(i, 0);
    if (c.name.empty() || set.byName_.count(c.name)) continue;
    c.id = components.text(i, 1);
    c.directory = components.text(i, 2);
    c.attributes = components.integer(i, 3).value_or(0);
    c.condition = components.text(i, 4);
    c.keyPath = components.text(i, 5);
    c.installed = c.id.empty() ? InstallState::Unknown : InstallState::Absent;
    set.byName_.emplace(c.name, set.entries_.size());
    set.entries_.push_back(std::move(c));
  }

  const TableRows files(db, "File",
                        {"File", "Component_", "FileName", "FileSize", "Attributes"});
  for (std::size_t i = 0; i < files.size(); ++i) {
    FileEntry f;
    f.key = files.text(i, 0);
    const auto component = set.find(files.text(i, 1));
    if (f.key.empty() || !component || set.byFile_.count(f.key)) continue;
    f.component = *component;
    const std::string name = files.text(i, 2);
    const std::size_t bar = name.find('|');
    f.shortName = name.substr(0, bar);
    f.longName = bar == std::string::npos ? name : name.substr(bar + 1);
    if (f.longName.empty()) f.longName = f.shortName;
    f.size = static_cast<std::uint64_t>(std::max<std::int32_t>(0, files.integer(i, 3).value_or(0)));
    const int attributes = files.integer(i, 4).value_or(0);
    f.compressed = (attributes & kFileCompressed)      ? true
                   : (attributes & kFileNoncompressed) ? false
                                                       : compressedByDefault;
    ComponentEntry& c = set.entries_[f.component];
    c.files.push_back(set.files_.size());
    const std::uint64_t cluster = clusterSize ? clusterSize : 1;
    c.cost += (f.size + cluster - 1) / cluster * cluster;
    set.byFile_.emplace(f.key, set.files_.size());
    set.files_.push_back(std::move(f));
  }

  const TableRows links(db, "FeatureComponents", {"Feature_", "Component_"});
  for (std::size_t i = 0; i < links.size(); ++i) {
    const auto feature = features.find(links.text(i, 0));
    const auto component = set.find(links.text(i, 1));
    if (!feature || !component) continue;
    features.entries()[*feature].components.push_back(*component);
    set.entries_[*component].features.push_back(*feature);
  }
  return set;
}

std::optional<std::size_t> ComponentSet::find(std::string_view name) const {
  auto it = byName_.find(name);
  if (it == byName_.end()) return std::nullopt;
  return it->second;
}

std::optional<std::size_t> ComponentSet::findFile(std::string_view key) const {
  auto it = byFile_.find(key);
  if (it == byFile_.end()) return std::nullopt;
  return it->second;
}

void ComponentSet::computeActions(FeatureTree& features) {
  for (FeatureEntry& f : features.entries()) {
    if (f.request != InstallState::Source) continue;
    for (std::size_t c : f.components)
      for (std::size_t file : entries_[c].files)
        if (files_[file].compressed && entries_[c].enabled) f.request = InstallState::Local;
  }
  for (std::size_t ci = 0; ci < entries_.size(); ++ci) {
    ComponentEntry& c = entries_[ci];
    c.action = InstallState::Unknown;
    if (!c.enabled) continue;
    bool local = false, source = false, advertised = false;
    for (std::size_t fi : c.features) {
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
