// The Directory table as costing sees it: a tree of directories whose target and source paths
// CostFinalize resolves, and that MsiSetTargetPath (custom action type 35, the SetTargetPath
// control event) later changes.
//
// Resolution:
// - A root is a row whose Directory_Parent is null or names the row itself. TARGETDIR's target
//   is the TARGETDIR property when set, else ROOTDRIVE; another root's target is its own
//   property when set, else ROOTDRIVE followed by its name (packages should have the single
//   root TARGETDIR).
// - Any other directory whose key names a property that is set takes the property's value;
//   otherwise it is the parent's path followed by the long target name of DefaultDir (the short
//   name when SHORTFILENAMES is set). A name of "." is the parent itself.
// - DefaultDir is `target[:source]`, each part `short|long` or a single name.
// - Source paths always follow the tree: the source root is the SourceDir property and each
//   directory adds its source name (short names when the package says so).
// - Every resolved path is normalised: runs of backslashes become one (a leading "\\" of a
//   network path stays), blanks next to a backslash or at the ends are dropped, and the path
//   ends with one backslash.
// - A path longer than kMaxDirectoryPath characters is an error for that directory and leaves
//   it and the directories below it unresolved.
#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/db/database.h"

namespace msi {

inline constexpr std::size_t kMaxDirectoryPath = 1024;

struct DirectoryEntry {
  std::string key;
  std::string parentKey;  // "" for a root
  std::optional<std::size_t> parent;
  std::vector<std::size_t> children;
  std::string targetName, targetShortName;  // "" for "."
  std::string sourceName, sourceShortName;
  // Resolved by resolve(): "" while unresolved.
  std::string target, targetShort, source;
};

struct DirectoryInputs {
  // A property's value, "" when unset.
  std::function<std::string(std::string_view)> property;
  bool shortTargetNames = false;  // SHORTFILENAMES
  bool shortSourceNames = false;  // the package's source uses short names
};

class DirectoryTree {
 public:
  // Reads the Directory table (none: an empty tree). Throws Error naming the table and the
  // directory when a row names a parent that is not in the table or the parents form a cycle.
  static DirectoryTree load(Database& db);

  const std::vector<DirectoryEntry>& entries() const { return entries_; }
  std::optional<std::size_t> find(std::string_view key) const;
  bool resolved() const { return resolved_; }

  // Resolves every target and source path (CostFinalize). Returns one message per directory
  // that could not be resolved.
  std::vector<std::string> resolve(const DirectoryInputs& inputs);

  // Gives directory `index` the target `path` and re-resolves the targets below it from their
  // parents (their own properties are not read again). Returns the indexes whose target
  // changed, the directory itself first; nothing when the normalised path is the current one.
  // Throws Error when the path is too long.
  std::vector<std::size_t> setTarget(std::size_t index, std::string_view path,
                                     const DirectoryInputs& inputs);

 private:
  std::vector<std::size_t> topDownOrder(std::size_t from) const;
  bool resolveTarget(std::size_t index, const DirectoryInputs& inputs, bool readProperty,
                     std::vector<std::string>& problems);

  std::vector<DirectoryEntry> entries_;
  std::map<std::string, std::size_t, std::less<>> byKey_;
  bool resolved_ = false;
};

// The normalisation described above; "" stays "".
std::string normalizeDirectoryPath(std::string_view path);

}  // namespace msi
