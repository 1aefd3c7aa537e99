// An installation session over a package, on the emulated machine (machine.h): the package's
// properties and the service's own, conditions and formatted text, the standard actions of the
// user-interface sequence, costing (directories, feature and component states, disk cost) and
// the custom actions whose effect is data. A session installs nothing and never writes the
// package.
//
// Actions (doAction):
// - Standard actions of a UI sequence: AppSearch, CCPSearch, RMCCPSearch (locators search the
//   emulated machine: its registry, installed components, .ini values, files and folders; see
//   machine.h and app_search.cpp), LaunchConditions, FindRelatedProducts, ValidateProductID, CostInitialize, FileCost,
//   CostFinalize, MigrateFeatureStates, ResolveSource, IsolateComponents. ExecuteAction and the
//   actions of the execute sequences cannot run here: they return NoAction with a warning.
// - Custom actions: types 51 (set a property), 35 (set a directory) and 19 (show an error and
//   fail) run; deferred, rollback and commit ones (0x400) would only be scheduled into the
//   installation script and are skipped; once-per-process ones (0x200) run once. Others (DLL,
//   EXE, script, nested installation) cannot run off Windows: a few well-known helpers are
//   emulated by what they do (helper_emulation.cpp), the rest are skipped with a warning,
//   told to the host (SessionHost::actionSkipped) and report success.
// - A name in the Dialog table runs the dialog through the DialogRunner; with none, the action
//   fails with the message "dialogs are not available yet". Dialogs run only at full UI level.
// - Any other name returns NoAction, as the service does for an unknown action.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/db/database.h"
#include "engine/session/action_status.h"
#include "engine/session/condition.h"
#include "engine/session/directory_tree.h"
#include "engine/session/feature_tree.h"
#include "engine/session/machine.h"
#include "engine/session/session_context.h"
#include "engine/session/session_host.h"

namespace msi {

class ComponentSet;

// The installer's UI levels (INSTALLUILEVEL).
inline constexpr int kUILevelNone = 2;
inline constexpr int kUILevelBasic = 3;
inline constexpr int kUILevelReduced = 4;
inline constexpr int kUILevelFull = 5;

// Bounds on what a package's actions can make a session hold (a chain of custom actions that
// doubles a property would otherwise take all memory). Passing one stops the session: the
// setting throws SessionLimitError, so does every later one, and doAction throws it once the
// action that passed the bound returns, so the run ends instead of the action merely failing.
struct SessionLimits {
  std::size_t propertyBytes = std::size_t{1} << 20;        // one value
  std::size_t allPropertyBytes = std::size_t{64} << 20;    // every value together
};

class SessionLimitError : public Error {
 public:
  explicit SessionLimitError(const std::string& message) : Error(message, ErrorKind::Limit) {}
};

struct SessionOptions {
  int uiLevel = kUILevelFull;
  // Properties as on a command line: they win over the package's and the service's own, and
  // take part in choosing the installation context (ALLUSERS, MSIINSTALLPERUSER).
  std::vector<std::pair<std::string, std::string>> properties;
  EmulatedMachine machine = EmulatedMachine::forCurrentUser();
  SessionHost* host = nullptr;       // not owned; nullptr: messages go to standard error
  DialogRunner* dialogs = nullptr;   // not owned
  SessionLimits limits;
};

// The space on one volume, in bytes.
struct VolumeCost {
  std::string volume;  // "C:\"
  std::uint64_t size = 0;
  std::uint64_t available = 0;
  std::uint64_t required = 0;  // what the components to be installed locally take
};

class Session final : public SessionContext {
 public:
  // Opens the package read-only and starts a fresh installation. Throws Error naming the path
  // and the cause when the package cannot be opened, or is a 64-bit package and the machine a
  // 32-bit one.
  static std::unique_ptr<Session> open(const std::filesystem::path& package,
                                       SessionOptions options = {});
  // A session over a database opened already (tests, fuzzing); its path names the package.
  static std::unique_ptr<Session> open(std::shared_ptr<Database> database,
                                       SessionOptions options = {});
  ~Session() override;
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  std::shared_ptr<Database> database() const;
  const EmulatedMachine& machine() const;
  // The package's platform from its Template summary property: x64, Intel64 or Arm64 packages
  // are 64-bit. Folder properties do not depend on it (see machine.h).
  bool is64BitPackage() const;

  // --- properties ---
  std::string property(std::string_view name) const override;  // "" when unset
  // An empty value removes the property. Throws Error for an empty name, SessionLimitError
  // past a bound of SessionLimits.
  void setProperty(std::string_view name, std::string_view value);
  std::vector<std::pair<std::string, std::string>> properties() const;  // by name
  int uiLevel() const;
  void setUILevel(int level);  // also the UILevel property

  // --- conditions, formatted text, actions ---
  ConditionResult evaluateCondition(std::string_view condition) const;
  std::string formatText(std::string_view text) const;
  // Throws SessionLimitError when the action (or one it ran) passed a bound.
  ActionStatus doAction(std::string_view action);
  // What doAction would run for a name, in the service's order of lookup.
  enum class ActionKind { Standard, Custom, Dialog, Unknown };
  ActionKind actionKind(std::string_view action) const;
  void setHost(SessionHost* host);            // nullptr: standard error
  // Listeners hear of every standard and custom action doAction starts, of the records it
  // reports and of its progress (see ActionListener). A listener removes itself before it
  // goes, unless the session went first (ActionListener::sessionClosed).
  void addActionListener(ActionListener& listener);
  void removeActionListener(ActionListener& listener);
  // What a running action reports (see ActionListener): a record, fields[0] ignored (the
  // action's ActionText template formats it), and progress.
  void reportActionData(std::vector<std::string> fields);
  void reportProgress(int type, long long first, long long second);
  void setDialogRunner(DialogRunner* runner);  // nullptr: none
  SessionHost& host() const;

  // --- features and components (loaded by CostInitialize, states set by CostFinalize) ---
  // Null before CostInitialize.
  const FeatureTree* featureTree() const;
  // The action state: -1 when the feature will not be installed. Throws Error for an unknown
  // feature or before CostInitialize.
  InstallState featureRequestState(std::string_view feature) const;
  // A choice of the user (see FeatureTree::setRequest); component states follow. Throws Error.
  void setFeatureRequestState(std::string_view feature, InstallState state,
                              bool wholeSubtree = false);
  // The components and their files as costing keeps them; null before CostInitialize.
  const ComponentSet* componentSet() const;
  // Installed and action state of a component. Throws Error for an unknown one.
  InstallStates componentState(std::string_view component) const;
  // Sets INSTALLLEVEL and computes every feature's request again from the levels (the
  // SetInstallLevel control event). Throws Error outside 1..32767 or before CostFinalize.
  void setInstallLevel(int level);

  // --- directories ---
  const DirectoryTree* directoryTree() const;  // null before CostInitialize
  // The resolved target path (trailing backslash); nullopt for an unknown directory or before
  // CostFinalize.
  std::optional<std::string> targetPath(std::string_view directory) const;
  std::optional<std::string> sourcePath(std::string_view directory) const;
  // MsiSetTargetPath: the directory and those below it move. Throws Error for an unknown
  // directory, before CostFinalize, or a path that is not an absolute path on a volume of the
  // machine.
  void setTargetPath(std::string_view directory, std::string_view path);

  // --- disk cost ---
  std::vector<VolumeCost> volumeCosts() const;
  // Bytes the feature's own components take when installed locally. Throws Error when unknown.
  std::uint64_t featureCost(std::string_view feature) const;

  // --- SessionContext ---
  std::optional<std::string> environment(std::string_view name) const override;
  std::optional<InstallStates> featureStates(std::string_view feature) const override;
  std::optional<InstallStates> componentStates(std::string_view component) const override;
  std::optional<std::string> fileTargetPath(std::string_view fileKey) const override;
  std::optional<std::string> fileShortPath(std::string_view fileKey) const override;
  std::optional<std::string> componentDirectory(std::string_view component) const override;

  struct State;  // private to the session's own files

 private:
  explicit Session(std::unique_ptr<State> state);
  std::unique_ptr<State> state_;
};

}  // namespace msi
