// Components and their files as costing sees them, linked to features through
// FeatureComponents, on a fresh installation (a component with a ComponentId is installed
// Absent; one without is unmanaged: Unknown).
//
// A component's action follows the requests of its features: a component whose Condition is
// false is disabled and stays Unknown; otherwise any feature installing it Local makes it Local
// (Source when the component is SourceOnly, bit 1), any Source feature makes it Source unless
// the component only runs locally (neither Optional, bit 2, nor SourceOnly), an Advertised
// feature makes it Advertised, and nothing else installs it. A feature requested from Source
// that holds files packed in a cabinet is installed Local instead, since such files cannot run
// from the source.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/db/database.h"
#include "engine/session/feature_tree.h"

namespace msi {

inline constexpr int kComponentSourceOnly = 0x01;
inline constexpr int kComponentOptional = 0x02;

// A file's names stay in the File table: they are read from its row when a path is asked for.
struct FileEntry {
  std::string key;
  std::uint32_t row = 0;        // in the File table
  std::uint32_t component = 0;  // index in the component set
  std::uint64_t size = 0;
  bool compressed = false;
};

struct ComponentEntry {
  std::string name, directory, condition;
  int attributes = 0;
  bool enabled = true;  // false when its Condition evaluated to false
  InstallState installed = InstallState::Absent;
  InstallState action = InstallState::Unknown;
  std::uint64_t cost = 0;  // bytes its files take on the volume, in whole clusters
};

class ComponentSet {
 public:
  // Reads Component, File and FeatureComponents (each may be absent) and links the components
  // to `features`. Rows naming an unknown feature or component are ignored, as the service
  // does. `compressedByDefault` is the package's compressed bit (summary word count, bit 1).
  static ComponentSet load(Database& db, FeatureTree& features, std::uint32_t clusterSize,
                           bool compressedByDefault);

  const std::vector<ComponentEntry>& entries() const { return entries_; }
  std::vector<ComponentEntry>& entries() { return entries_; }
  const std::vector<FileEntry>& files() const { return files_; }
  std::optional<std::size_t> find(std::string_view name) const;
  std::optional<std::size_t> findFile(std::string_view key) const;
  // The short and long name of a file, from its FileName ("short|long"; the short one alone
  // stands for both).
  struct FileNames {
    std::string shortName, longName;
  };
  FileNames fileNames(const FileEntry& file) const;

  // The files of component `c` (indices into files()) and its features, in table order.
  std::span<const std::uint32_t> filesOf(std::size_t c) const { return slice(fileStart_, fileList_, c); }
  std::span<const std::uint32_t> featuresOf(std::size_t c) const { return slice(featureStart_, featureList_, c); }

  // Makes Source requests Local for features holding packed files, then recomputes every
  // component's action from the features' requests.
  void computeActions(FeatureTree& features);

 private:
  static std::span<const std::uint32_t> slice(const std::vector<std::uint32_t>& start,
                                              const std::vector<std::uint32_t>& list, std::size_t c) {
    if (c + 1 >= start.size()) return {};
    return std::span<const std::uint32_t>(list).subspan(start[c], start[c + 1] - start[c]);
  }

  std::vector<ComponentEntry> entries_;
  std::vector<FileEntry> files_;
  // Per component, its files and its features as one list each: component c's run is
  // list[start[c] .. start[c + 1]).
  std::vector<std::uint32_t> fileStart_, fileList_, featureStart_, featureList_;
  // Indices into entries_ and files_, sorted by name and by key, for lookups.
  std::vector<std::uint32_t> byName_, byFile_;
  const Table* fileTable_ = nullptr;  // the database outlives the set: the session holds both
  std::optional<std::size_t> fileNameColumn_;
};

}  // namespace msi
