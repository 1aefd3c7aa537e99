// Browsing folders in a dialog (DirectoryList, DirectoryCombo, VolumeSelectCombo and the
// DirectoryListUp / New / Open events) over the session's emulated machine: its volumes and
// the folders it has. Nothing on the Linux disk is looked at.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "engine/dialogs/dialog_model.h"
#include "engine/session/session.h"

namespace msi::dialogs {

// The subfolders of `path` (value and text: the folder's name), sorted.
std::vector<ListItem> directoryListItems(const Session& session, std::string_view path);
// The volumes and, under the one of `path`, each folder down to `path` (value: the full path
// with its trailing backslash; text: the folder's name, or the volume).
std::vector<ListItem> directoryComboItems(const Session& session, std::string_view path);
// The volumes of the machine ("C:\").
std::vector<ListItem> volumeItems(const Session& session);

// "C:\A\B\" -> "C:\A\"; a volume stays itself.
std::string parentFolder(std::string_view path);
// "C:\A\" + "B" -> "C:\A\B\".
std::string childFolder(std::string_view path, std::string_view name);
// A name for a new folder under `path` that is not taken: "New Folder", "New Folder 2", ...
std::string newFolderName(const Session& session, std::string_view path);

// Whether `path` can be an installation folder here: an absolute path on a volume of the
// machine (or a network path) without the characters a path cannot hold. "" when it can,
// else the reason.
std::string pathProblem(const Session& session, std::string_view path);

}  // namespace msi::dialogs
