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
//
// Packages hold hundreds of thousands of components and files, so the set keeps only what
// costing and the lookups by name need: names in one block of text, a component's folder as
// its index in the directory tree, its files' sizes summed into its cost. The Component, File
// and FeatureComponents tables are let go of once read, unless someone else had them loaded.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/db/database.h"
#include "engine/session/directory_tree.h"
#include "engine/session/feature_tree.h"

namespace msi {

inline constexpr int kComponentSourceOnly = 0x01;
inline constexpr int kComponentOptional = 0x02;
inline constexpr std::uint32_t kNoDirectory = static_cast<std::uint32_t>(-1);

// A file's names stay in the File table: they are read from its row when a path is asked for.
struct FileEntry {
  std::uint32_t row = 0;        // in the File table
  std::uint32_t component = 0;  // index in the component set
};

struct ComponentEntry {
  std::uint64_t cost = 0;                  // bytes its files take on the volume, in whole clusters
  std::uint32_t directory = kNoDirectory;  // index in the directory tree (none: not in it)
  std::int32_t attributes = 0;
  InstallState installed : 8 = InstallState::Absent;
  InstallState action : 8 = InstallState::Unknown;
  bool enabled : 1 = true;      // false when its Condition evaluated to false
  bool packedFiles : 1 = false;  // some file of it is packed in a cabinet
};

class ComponentSet {
 public:
  // Reads Component, File and FeatureComponents (each may be absent) and links the components
  // to `features` and to the folders of `directories`. Rows naming an unknown feature or
  // component are ignored, as the service does; of rows with the same name, the first counts.
  // `compressedByDefault` is the package's compressed bit (summary word count, bit 1). The
  // database must outlive the set (file names are read from it when asked for).
  static ComponentSet load(Database& db, const DirectoryTree& directories, FeatureTree& features,
                           std::uint32_t clusterSize, bool compressedByDefault);

  // In the order of their names.
  const std::vector<ComponentEntry>& entries() const { return entries_; }
  std::vector<ComponentEntry>& entries() { return entries_; }
  std::string_view name(std::size_t c) const { return names_[c]; }
  // The components with a Condition, in table order, with it.
  const std::vector<std::pair<std::uint32_t, std::string>>& conditions() const { return conditions_; }
  const std::vector<FileEntry>& files() const { return files_; }
  std::optional<std::size_t> find(std::string_view name) const;
  std::optional<std::size_t> findFile(std::string_view key) const;
  // The short and long name of a file, from its FileName ("short|long"; the short one alone
  // stands for both).
  struct FileNames {
    std::string shortName, longName;
  };
  FileNames fileNames(const FileEntry& file) const;

  // Makes Source requests Local for features holding packed files, then recomputes every
  // component's action from the features' requests.
  void computeActions(FeatureTree& features);

  // Many short texts one after another in one block, each found by its index.
  class Texts {
   public:
    std::size_t size() const { return ends_.size(); }
    std::string_view operator[](std::size_t i) const {
      const std::uint32_t start = i ? ends_[i - 1] : 0;
      return std::string_view(bytes_).substr(start, ends_[i] - start);
    }
    void push(std::string_view text);  // throws Error past 4 GB of text
    void shrinkToFit();

   private:
    std::string bytes_;
    std::vector<std::uint32_t> ends_;
  };

 private:
  // Components and files are kept in the order of their names (each name once), and found by
  // halving; conditions keep the table's order, in which they are evaluated.
  std::vector<ComponentEntry> entries_;
  Texts names_;
  std::vector<std::pair<std::uint32_t, std::string>> conditions_;
  std::vector<FileEntry> files_;
  Texts fileKeys_;
  // Which component each FeatureComponents row links to which feature, by component (then
  // in table order).
  struct Link {
    std::uint32_t component, feature;
  };
  std::vector<Link> links_;
  Database* db_ = nullptr;  // the session holds the database and the set
};

}  // namespace msi
