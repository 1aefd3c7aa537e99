// The Feature table as costing sees it: the feature tree and each feature's request state on
// a fresh installation (nothing of the product is installed, so every feature's installed
// state is Absent).
//
// CostFinalize computes the requests:
// - Level: the Condition table may change a feature's Level first; a feature whose Level (or an
//   ancestor's) is 0 or less is disabled: never installed, whatever is asked.
// - Without ADDLOCAL, REMOVE, ADDSOURCE, ADDDEFAULT, REINSTALL or ADVERTISE, a feature is selected when 0 < Level <= INSTALLLEVEL and its parent is
//   selected; a selected feature is requested Source when its Attributes favor the source (1),
//   Advertised when they favor advertising (4, unless advertising is disallowed: 8), else Local.
// - With any of them, Preselected is set and only the listed features (comma-separated,
//   case-sensitive, or ALL) are requested: Local, Absent, Source, their default, left alone
//   (REINSTALL: nothing is installed to reinstall) and Advertised, in that order, later
//   properties winning. Advertising a feature that disallows it gives its default state.
//   A child that is installed installs its parent too.
// - A child with FollowParent (2) takes its parent's request when it is itself to be installed,
//   or always when it also has UIDisallowAbsent (16).
// The action state reported for a feature is its request, or Unknown (-1) when the request is
// its installed state (an Absent request on a fresh installation: nothing to do).
#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/db/database.h"
#include "engine/session/session_context.h"

namespace msi {

inline constexpr int kFeatureFavorSource = 0x01;
inline constexpr int kFeatureFollowParent = 0x02;
inline constexpr int kFeatureFavorAdvertise = 0x04;
inline constexpr int kFeatureDisallowAdvertise = 0x08;
inline constexpr int kFeatureUIDisallowAbsent = 0x10;
// The documented maximum depth of the feature tree.
inline constexpr int kMaxFeatureDepth = 16;

struct FeatureEntry {
  std::string name, parentKey, title, description, directory;
  std::optional<std::size_t> parent;
  std::vector<std::size_t> children;
  std::vector<std::size_t> components;  // indexes into the component set
  std::optional<int> display;
  int authoredLevel = 0;  // the Level column
  int level = 0;          // after the Condition table
  int attributes = 0;
  int depth = 0;  // 0 for a root
  InstallState installed = InstallState::Absent;
  InstallState request = InstallState::Unknown;
};

// The override properties, as the session holds them ("" when unset).
struct FeatureOverrides {
  std::string addLocal, remove, addSource, addDefault, reinstall, advertise;
  bool any() const;
};

class FeatureTree {
 public:
  // Reads the Feature table (none: no features). Throws Error naming the table and the feature
  // for a parent that is not in the table, a cycle, or a tree deeper than kMaxFeatureDepth.
  static FeatureTree load(Database& db);

  const std::vector<FeatureEntry>& entries() const { return entries_; }
  std::vector<FeatureEntry>& entries() { return entries_; }
  std::optional<std::size_t> find(std::string_view name) const;

  // Level 0 or less here or above: never installed.
  bool disabled(std::size_t index) const;
  // The default request of a selected feature (see above).
  InstallState defaultRequest(std::size_t index) const;
  // Computes every request (CostFinalize, and again when INSTALLLEVEL changes). Returns whether
  // the override properties took part (the caller sets Preselected).
  bool computeRequests(int installLevel, const FeatureOverrides& overrides);
  // A request from the user interface or MsiSetFeatureState. Absent (or Unknown) applies to
  // the feature and everything below it; an install state applies to the feature (and, with
  // `wholeSubtree`, to every enabled feature below it), installs its parents and carries to
  // children that follow their parent. Throws Error for a disabled feature or an advertise
  // request the feature disallows.
  void setRequest(std::size_t index, InstallState state, bool wholeSubtree = false);
  // The action state (see above).
  InstallState action(std::size_t index) const;

 private:
  std::vector<std::size_t> topDownOrder() const;
  void applyList(std::string_view list, InstallState state, bool useDefault);
  void installParents(std::size_t index);
  void followParents();

  std::vector<FeatureEntry> entries_;
  std::map<std::string, std::size_t, std::less<>> byName_;
};

}  // namespace msi
