// The SelectionTree control over the session's feature tree: which features it lists, the
// texts it publishes for the highlighted one, and the user's choices of a feature's state.
//
// - It lists the features whose Display is not 0 (nor null) and that are not disabled (a
//   Level of 0 here or above), under their parents, ordered by Display; an odd Display shows
//   the feature expanded. A feature below one that is not listed is not listed either.
// - Choices change the feature's request directly: local or source installs the feature
//   (and its parents), advertise sets it to install on demand, absent removes it and
//   everything below it; the "entire feature" choices install it and everything below it.
// - A feature offers exactly the states its attributes and components allow (see
//   treeChoices): absent unless UIDisallowAbsent, advertise unless DisallowAdvertise, local
//   unless every component runs from the source only, source when a component may run from
//   the source (a feature without components may do either), and the "entire feature"
//   variants of local and source when features are listed below it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "engine/dialogs/dialog_model.h"
#include "engine/dialogs/wizard.h"
#include "engine/session/session.h"

namespace msi::dialogs {

std::vector<TreeItem> buildSelectionTree(const Session& session);

// The choices a listed feature offers, in the order of the installer's menu: local, entire
// feature local, source, entire feature source, advertise, absent.
std::vector<FeatureChoice> treeChoices(const TreeItem& item);

// What a highlighted feature publishes to the controls that subscribe (EventMapping).
struct SelectionInfo {
  std::string description;  // SelectionDescription
  std::string size;         // SelectionSize: "This feature requires 12 KB on your hard drive."
  std::string path;         // SelectionPath: the feature's folder
  bool pathOn = false;      // SelectionPathOn: the feature has a configurable folder
  std::string action;       // SelectionAction: what will happen to it
};
SelectionInfo describeSelection(Session& session, std::string_view feature);

// Applies a choice to a feature listed in `tree`. Throws OperationError (prefixed with
// `where`) when the feature is not listed or refuses the state.
void chooseFeatureState(Session& session, const Control& tree, std::string_view feature,
                        FeatureChoice state, const std::string& where);

}  // namespace msi::dialogs
