// The standard actions a user-interface sequence holds, on a fresh installation of the
// emulated machine; the actions of the execute sequences are known by name only.
#include <algorithm>
#include <array>
#include <functional>

#include "engine/session/session_state.h"
#include "engine/session/table_rows.h"
#include "engine/text/integers.h"

namespace msi {
namespace {

using State = Session::State;

ActionStatus costInitialize(State& s) {
  s.setProperty("CostingComplete", "0");
  if (s.property("ROOTDRIVE").empty()) s.setProperty("ROOTDRIVE", "C:\\");
  if (!s.features) {
    // Load everything before keeping anything, so that a broken table leaves no half model.
    DirectoryTree directories = DirectoryTree::load(*s.db);
    FeatureTree features = FeatureTree::load(*s.db);
    ComponentSet components =
        ComponentSet::load(*s.db, directories, features, s.machine.clusterSize, (s.wordCount & 2) != 0);
    s.directories = std::move(directories);
    s.features = std::move(features);
    s.components = std::move(components);
  }
  return ActionStatus::Success;
}

void setPrimaryVolume(State& s) {
  const std::string key = s.property("PRIMARYFOLDER");
  if (key.empty()) return;
  const std::string path = s.property(key);
  if (path.size() < 2 || path[1] != ':') return;
  const std::string volume = path.substr(0, 2);
  std::uint64_t required = 0;
  for (const VolumeCost& cost : s.self->volumeCosts())
    if (foldWindowsPath(cost.volume) == foldWindowsPath(volume + "\\")) {
      required = cost.required;
      s.setProperty("PrimaryVolumeSpaceAvailable", std::to_string(cost.available / 512));
      s.setProperty("PrimaryVolumeSpaceRemaining",
                    std::to_string((cost.available - std::min(cost.available, required)) / 512));
    }
  s.setProperty("PrimaryVolumePath", volume);
  s.setProperty("PrimaryVolumeSpaceRequired", std::to_string(required / 512));
}

ActionStatus costFinalize(State& s) {
  if (!s.features) {
    s.report(MessageKind::Error, "CostFinalize: CostInitialize has not run");
    return ActionStatus::Failure;
  }
  const std::vector<std::string> problems = s.directories->resolve(s.directoryInputs());
  for (const DirectoryEntry& d : s.directories->entries())
    if (!d.target.empty()) s.setProperty(d.key, d.target);
  for (const std::string& problem : problems) s.report(MessageKind::Error, "CostFinalize: " + problem);
  if (!problems.empty()) return ActionStatus::Failure;

  for (ComponentEntry& c : s.components->entries()) c.enabled = true;
  for (const auto& [c, condition] : s.components->conditions())
    s.components->entries()[c].enabled = s.evaluate(condition) != ConditionResult::False;

  for (FeatureEntry& f : s.features->entries()) f.level = f.authoredLevel;
  const TableRows conditions(*s.db, "Condition", {"Feature_", "Level", "Condition"});
  for (std::size_t i = 0; i < conditions.size(); ++i) {
    const auto feature = s.features->find(conditions.text(i, 0));
    if (feature && s.evaluate(conditions.text(i, 2)) == ConditionResult::True)
      s.features->entries()[*feature].level = conditions.integer(i, 1).value_or(0);
  }

  if (s.property("INSTALLLEVEL").empty()) s.setProperty("INSTALLLEVEL", "1");
  const int level = text::parseInt32(s.property("INSTALLLEVEL"), text::PlusSign::Allowed).value_or(1);
  FeatureOverrides overrides;
  overrides.addLocal = s.property("ADDLOCAL");
  overrides.remove = s.property("REMOVE");
  overrides.addSource = s.property("ADDSOURCE");
  overrides.addDefault = s.property("ADDDEFAULT");
  overrides.reinstall = s.property("REINSTALL");
  overrides.advertise = s.property("ADVERTISE");
  if (s.features->computeRequests(level, overrides)) s.setProperty("Preselected", "1");
  s.components->computeActions(*s.features);
  s.costFinalized = true;

  bool outOfSpace = false;
  for (const VolumeCost& cost : s.self->volumeCosts()) outOfSpace |= cost.required > cost.available;
  s.setProperty("CostingComplete", "1");
  s.setProperty("OutOfDiskSpace", outOfSpace ? "1" : "0");
  s.setProperty("OutOfNoRbDiskSpace", outOfSpace ? "1" : "0");
  setPrimaryVolume(s);
  return ActionStatus::Success;
}

ActionStatus launchConditions(State& s) {
  const TableRows rows(*s.db, "LaunchCondition", {"Condition", "Description"});
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (s.evaluate(rows.text(i, 0)) == ConditionResult::True) continue;
    s.report(MessageKind::Error, s.format(rows.text(i, 1)));
    return ActionStatus::Failure;
  }
  return ActionStatus::Success;
}

// The service validates PIDKEY against PIDTemplate; with no template to check the key
// against, it becomes the product ID as typed.
ActionStatus validateProductId(State& s) {
  if (s.property("ProductID").empty() && !s.property("PIDKEY").empty())
    s.setProperty("ProductID", s.property("PIDKEY"));
  return ActionStatus::Success;
}

ActionStatus resolveSource(State& s) {
  if (s.property("SourceDir").empty())
    s.setProperty("SourceDir", s.property("OriginalDatabase").substr(
                                   0, s.property("OriginalDatabase").rfind('\\') + 1));
  if (s.property("SOURCEDIR").empty()) s.setProperty("SOURCEDIR", s.property("SourceDir"));
  return ActionStatus::Success;
}

ActionStatus success(State&) { return ActionStatus::Success; }
// Nothing of any product is installed: no related product, no feature states to migrate.
ActionStatus nothingInstalled(State&) { return ActionStatus::NoAction; }

ActionStatus notHere(State& s, std::string_view name) {
  s.report(MessageKind::Warning, "action `" + std::string(name) +
                                     "` belongs to the installation script, which this engine "
                                     "does not run");
  return ActionStatus::NoAction;
}

struct Handler {
  std::string_view name;
  ActionStatus (*run)(State&);
};

constexpr std::array<Handler, 12> kUiActions{{
    {"AppSearch", runAppSearch},
    {"CCPSearch", [](State& s) { return runCcpSearch(s, false); }},
    {"CostFinalize", costFinalize},
    {"CostInitialize", costInitialize},
    {"FileCost", success},
    {"FindRelatedProducts", success},
    {"IsolateComponents", success},
    {"LaunchConditions", launchConditions},
    {"MigrateFeatureStates", nothingInstalled},
    {"RMCCPSearch", [](State& s) { return runCcpSearch(s, true); }},
    {"ResolveSource", resolveSource},
    {"ValidateProductID", validateProductId},
}};

// The other standard actions: they change the machine, so they run only in the installation
// script (ExecuteAction included: it is where that script would start).
constexpr std::array<std::string_view, 64> kScriptActions{
    "AllocateRegistrySpace", "BindImage", "CreateFolders", "CreateShortcuts", "DeleteServices",
    "DisableRollback", "DuplicateFiles", "ExecuteAction", "ForceReboot", "InstallAdminPackage",
    "InstallExecute", "InstallExecuteAgain", "InstallFiles", "InstallFinalize",
    "InstallInitialize", "InstallODBC", "InstallServices", "InstallSFPCatalogFile",
    "InstallValidate", "MoveFiles", "MsiConfigureServices", "MsiPublishAssemblies",
    "MsiUnpublishAssemblies", "PatchFiles", "ProcessComponents", "PublishComponents",
    "PublishFeatures", "PublishProduct", "RegisterClassInfo", "RegisterComPlus",
    "RegisterExtensionInfo", "RegisterFonts", "RegisterMIMEInfo", "RegisterProduct",
    "RegisterProgIdInfo", "RegisterTypeLibraries", "RegisterUser", "RemoveDuplicateFiles",
    "RemoveEnvironmentStrings", "RemoveExistingProducts", "RemoveFiles", "RemoveFolders",
    "RemoveIniValues", "RemoveODBC", "RemoveRegistryValues", "RemoveShortcuts", "ScheduleReboot",
    "SelfRegModules", "SelfUnregModules", "SetODBCFolders", "StartServices", "StopServices",
    "UnpublishComponents", "UnpublishFeatures", "UnregisterClassInfo", "UnregisterComPlus",
    "UnregisterExtensionInfo", "UnregisterFonts", "UnregisterMIMEInfo", "UnregisterProgIdInfo",
    "UnregisterTypeLibraries", "WriteEnvironmentStrings", "WriteIniValues", "WriteRegistryValues",};

}  // namespace

bool isStandardAction(std::string_view name) {
  for (const Handler& h : kUiActions)
    if (h.name == name) return true;
  return std::find(kScriptActions.begin(), kScriptActions.end(), name) != kScriptActions.end();
}

std::optional<ActionStatus> runStandardAction(Session::State& state, std::string_view name) {
  for (const Handler& h : kUiActions)
    if (h.name == name) return h.run(state);
  if (std::find(kScriptActions.begin(), kScriptActions.end(), name) != kScriptActions.end())
    return notHere(state, name);
  return std::nullopt;
}

}  // namespace msi
