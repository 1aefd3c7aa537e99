#include "engine/session/session.h"

#include <cctype>
#include <cstdio>
#include <ctime>

#include "engine/session/formatted.h"
#include "engine/session/session_state.h"
#include "engine/session/table_rows.h"

namespace msi {
namespace {

// The folder a component installs to (its source folder when it runs from the source), as
// targetPath and sourcePath give it; nullopt before CostFinalize or when it has none.
std::optional<std::string> componentFolder(const Session::State& s, const ComponentEntry& c, bool fromSource) {
  if (!s.directories || !s.costFinalized || c.directory == kNoDirectory) return std::nullopt;
  const DirectoryEntry& d = s.directories->entries()[c.directory];
  const std::string& folder = fromSource ? d.source : d.target;
  if (folder.empty()) return std::nullopt;
  return folder;
}

// Deeper doAction nesting (a dialog whose events run actions that show dialogs ...) is refused
// rather than followed until the stack runs out.
constexpr std::size_t kMaxActionNesting = 32;

// How the package's own location looks on the emulated machine: the Linux file system as a
// network-like drive Z:, the way Wine maps it.
std::string windowsPathOf(const std::filesystem::path& path) {
  std::error_code ec;
  std::filesystem::path absolute = std::filesystem::absolute(path, ec);
  if (ec) absolute = path;
  std::string text = absolute.lexically_normal().generic_string();
  for (char& c : text)
    if (c == '/') c = '\\';
  return "Z:" + text;
}

std::string folderOf(const std::string& windowsPath) {
  const std::size_t slash = windowsPath.rfind('\\');
  return slash == std::string::npos ? windowsPath + "\\" : windowsPath.substr(0, slash + 1);
}

bool is64BitTemplate(std::string_view templateText) {
  const std::string_view platform = templateText.substr(0, templateText.find(';'));
  for (std::string_view p : {"x64", "Intel64", "Arm64", "AMD64"})
    if (platform.find(p) != std::string_view::npos) return true;
  return false;
}

void setDateAndTime(std::map<std::string, std::string, std::less<>>& properties) {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &now);
#else
  localtime_r(&now, &local);
#endif
  properties["Date"] = std::to_string(local.tm_mon + 1) + "/" + std::to_string(local.tm_mday) +
                       "/" + std::to_string(local.tm_year + 1900);
  char time[16];
  std::snprintf(time, sizeof time, "%d:%02d:%02d", local.tm_hour, local.tm_min, local.tm_sec);
  properties["Time"] = time;
}

// The installation context from ALLUSERS and MSIINSTALLPERUSER; the user is an administrator,
// so ALLUSERS=2 means per-machine unless MSIINSTALLPERUSER=1. ALLUSERS is reset to what the
// context means ("1" or unset), as the service does.
InstallContext chooseContext(std::map<std::string, std::string, std::less<>>& properties) {
  auto it = properties.find("ALLUSERS");
  const std::string allUsers = it == properties.end() ? std::string() : it->second;
  if (allUsers == "2") {
    auto perUser = properties.find("MSIINSTALLPERUSER");
    if (perUser != properties.end() && perUser->second == "1") {
      properties.erase("ALLUSERS");
      return InstallContext::PerUserDualPurpose;
    }
    properties["ALLUSERS"] = "1";
    return InstallContext::PerMachine;
  }
  return allUsers.empty() ? InstallContext::PerUser : InstallContext::PerMachine;
}

}  // namespace

// --- State ------------------------------------------------------------------------------

void Session::State::report(MessageKind kind, const std::string& text) const {
  (host ? *host : defaultHost).message(kind, text);
}

ConditionResult Session::State::evaluate(std::string_view condition) const {
  return msi::evaluateCondition(condition, *self);
}

std::string Session::State::format(std::string_view text) const {
  return msi::formatText(text, *self);
}

DirectoryInputs Session::State::directoryInputs() const {
  DirectoryInputs inputs;
  inputs.property = [this](std::string_view name) { return property(name); };
  inputs.shortTargetNames = !property("SHORTFILENAMES").empty();
  inputs.shortSourceNames = (wordCount & 1) != 0;
  return inputs;
}

void Session::State::setTargetPath(std::string_view directory, std::string_view path) {
  const std::string dir(directory);
  if (!directories || !costFinalized)
    throw Error("directory `" + dir + "`: target paths are resolved by CostFinalize, which has not run");
  const auto index = directories->find(directory);
  if (!index) throw Error("directory `" + dir + "`: not in the Directory table");
  const std::string text(path);
  const bool network = text.starts_with("\\\\") && text.size() > 2;
  const bool drive = text.size() >= 3 && std::isalpha(static_cast<unsigned char>(text[0])) &&
                     text[1] == ':' && text[2] == '\\';
  if (!network && !drive)
    throw Error("directory `" + dir + "`: `" + text + "` is not an absolute path");
  if (drive) {
    const std::string volume = foldWindowsPath(text.substr(0, 3));
    bool known = false;
    for (const std::string& v : machine.volumes()) known |= foldWindowsPath(v) == volume;
    if (!known)
      throw Error("directory `" + dir + "`: `" + text + "` is on drive " + text.substr(0, 2) +
                  ", which is not a volume of this machine");
  }
  for (char c : text.substr(2))
    if (c == '<' || c == '>' || c == '"' || c == '|' || c == '?' || c == '*' || c == ':' ||
        static_cast<unsigned char>(c) < 0x20)
      throw Error("directory `" + dir + "`: `" + text + "` holds a character a path cannot hold");
  for (std::size_t i : directories->setTarget(*index, text, directoryInputs())) {
    const DirectoryEntry& d = directories->entries()[i];
    setProperty(d.key, d.target);
  }
}

// --- Session ----------------------------------------------------------------------------

Session::Session(std::unique_ptr<State> state) : state_(std::move(state)) { state_->self = this; }
Session::~Session() {
  // Listeners that outlive the session (a modeless dialog still on screen) hear it go.
  const std::vector<ActionListener*> told = std::move(state_->listeners);
  for (ActionListener* l : told) l->sessionClosed();
}

std::unique_ptr<Session> Session::open(const std::filesystem::path& package, SessionOptions options) {
  std::shared_ptr<Database> db = Database::open(package, OpenMode::ReadOnly);
  return open(std::move(db), std::move(options));
}

std::unique_ptr<Session> Session::open(std::shared_ptr<Database> database, SessionOptions options) {
  if (!database) throw Error("no database to open a session on");
  auto state = std::make_unique<State>();
  State& s = *state;
  s.db = std::move(database);
  s.machine = std::move(options.machine);
  s.host = options.host;
  s.dialogs = options.dialogs;
  s.limits = options.limits;

  const SummaryInfo& summary = s.db->summaryInfo();
  std::string templateText;
  int pageCount = 0;
  if (auto it = summary.properties.find(PID_TEMPLATE); it != summary.properties.end())
    if (auto* text = std::get_if<std::string>(&it->second)) templateText = *text;
  if (auto it = summary.properties.find(PID_WORDCOUNT); it != summary.properties.end())
    if (auto* n = std::get_if<std::int32_t>(&it->second)) s.wordCount = *n;
  if (auto it = summary.properties.find(PID_PAGECOUNT); it != summary.properties.end())
    if (auto* n = std::get_if<std::int32_t>(&it->second)) pageCount = *n;
  s.is64Bit = is64BitTemplate(templateText);
  // As the service does (error 1633): a 32-bit Windows cannot install a 64-bit package.
  if (s.is64Bit && !s.machine.is64Bit())
    throw Error("package `" + s.db->path().string() + "`: a 64-bit package (platform `" +
                templateText.substr(0, templateText.find(';')) + "`) cannot be installed on " +
                "the 32-bit machine " + s.machine.name);

  // The package's properties, then the command line's, decide the context; the service's own
  // properties come next, and the command line wins over everything.
  const TableRows rows(*s.db, "Property", {"Property", "Value"});
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const std::string name = rows.text(i, 0);
    const std::string value = rows.text(i, 1);
    if (!name.empty() && !value.empty()) s.properties[name] = value;
  }
  s.countPropertyBytes();
  for (const auto& [name, value] : options.properties)
    if (!name.empty()) s.setProperty(name, value);
  const InstallContext context = chooseContext(s.properties);
  for (auto& [name, value] : s.machine.properties(context)) s.properties[name] = value;

  const std::string original = windowsPathOf(s.db->path());
  s.properties["OriginalDatabase"] = original;
  s.properties["DATABASE"] = original;
  s.properties["SourceDir"] = folderOf(original);
  s.properties["SOURCEDIR"] = folderOf(original);
  s.properties["ProductState"] = "-1";
  if (pageCount > 0) s.properties["VersionDatabase"] = std::to_string(pageCount);
  if (s.property("USERNAME").empty()) s.properties["USERNAME"] = s.machine.userName;
  setDateAndTime(s.properties);
  for (const auto& [name, value] : options.properties)
    if (!name.empty()) s.setProperty(name, value);
  s.uiLevel = options.uiLevel;
  s.properties["UILevel"] = std::to_string(options.uiLevel);
  s.countPropertyBytes();
  return std::unique_ptr<Session>(new Session(std::move(state)));
}

std::shared_ptr<Database> Session::database() const { return state_->db; }
const EmulatedMachine& Session::machine() const { return state_->machine; }
bool Session::is64BitPackage() const { return state_->is64Bit; }

std::string Session::property(std::string_view name) const { return state_->property(name); }
void Session::setProperty(std::string_view name, std::string_view value) {
  state_->setProperty(name, value);
}
std::vector<std::pair<std::string, std::string>> Session::properties() const {
  return {state_->properties.begin(), state_->properties.end()};
}
int Session::uiLevel() const { return state_->uiLevel; }
void Session::setUILevel(int level) { state_->setProperty("UILevel", std::to_string(level)); }

ConditionResult Session::evaluateCondition(std::string_view condition) const {
  return state_->evaluate(condition);
}
std::string Session::formatText(std::string_view text) const { return state_->format(text); }

void Session::setHost(SessionHost* host) { state_->host = host; }
void Session::setDialogRunner(DialogRunner* runner) { state_->dialogs = runner; }
SessionHost& Session::host() const {
  return state_->host ? *state_->host : state_->defaultHost;
}

Session::ActionKind Session::actionKind(std::string_view action) const {
  if (isStandardAction(action)) return ActionKind::Standard;
  Database& db = *state_->db;
  const Row key{Value(action)};
  if (db.hasTable("CustomAction") && db.table("CustomAction").find(key)) return ActionKind::Custom;
  if (db.hasTable("Dialog") && db.table("Dialog").find(key)) return ActionKind::Dialog;
  return ActionKind::Unknown;
}

ActionStatus Session::doAction(std::string_view action) {
  State& s = *state_;
  const std::string name(action);
  if (s.running.size() >= kMaxActionNesting) {
    s.report(MessageKind::Error, "action `" + name + "`: actions nested more than " +
                                     std::to_string(kMaxActionNesting) + " deep");
    return ActionStatus::Failure;
  }
  if (s.stopped) throw SessionLimitError(*s.stopped);
  struct Running {
    std::vector<std::string>& names;
    Running(std::vector<std::string>& list, std::string name) : names(list) { names.push_back(std::move(name)); }
    ~Running() { names.pop_back(); }
  } running(s.running, name);
  const auto run = [&]() -> ActionStatus {
    try {
      // Listeners hear of the actions that run (standard and custom ones), not of dialogs.
      if (!s.listeners.empty() &&
          (isStandardAction(action) || actionKind(action) == ActionKind::Custom))
        s.actionStarted(action);
      if (auto status = runStandardAction(s, action)) return *status;
      if (auto status = runCustomAction(s, action)) return *status;
      if (actionKind(action) == ActionKind::Dialog) {
        if (s.uiLevel < kUILevelFull) return ActionStatus::NoAction;
        if (!s.dialogs) {
          s.report(MessageKind::Error, "dialog `" + name + "`: dialogs are not available yet");
          return ActionStatus::Failure;
        }
        return s.dialogs->runDialog(*this, action);
      }
      return ActionStatus::NoAction;
    } catch (const std::exception& e) {
      if (s.stopped) return ActionStatus::Failure;  // thrown below, not reported as a failed action
      s.report(MessageKind::Error, "action `" + name + "`: " + e.what());
      return ActionStatus::Failure;
    }
  };
  const ActionStatus status = run();
  // Whoever caught the bound on the way (a dialog ending on an engine error) did not end the run.
  if (s.stopped) throw SessionLimitError(*s.stopped);
  return status;
}

// --- features and components --------------------------------------------------------------

const FeatureTree* Session::featureTree() const {
  return state_->features ? &*state_->features : nullptr;
}

const ComponentSet* Session::componentSet() const {
  return state_->components ? &*state_->components : nullptr;
}

InstallState Session::featureRequestState(std::string_view feature) const {
  const auto states = featureStates(feature);
  if (!states) {
    if (!state_->features)
      throw Error("feature `" + std::string(feature) +
                  "`: features are loaded by CostInitialize, which has not run");
    throw Error("feature `" + std::string(feature) + "`: not in the Feature table");
  }
  return states->action;
}

void Session::setFeatureRequestState(std::string_view feature, InstallState state,
                                     bool wholeSubtree) {
  State& s = *state_;
  (void)featureRequestState(feature);  // unknown feature, no costing yet: an Error
  s.features->setRequest(*s.features->find(feature), state, wholeSubtree);
  s.components->computeActions(*s.features);
}

InstallStates Session::componentState(std::string_view component) const {
  const auto states = componentStates(component);
  if (!states) {
    if (!state_->components)
      throw Error("component `" + std::string(component) +
                  "`: components are loaded by CostInitialize, which has not run");
    throw Error("component `" + std::string(component) + "`: not in the Component table");
  }
  return *states;
}

void Session::setInstallLevel(int level) {
  State& s = *state_;
  if (level < 1 || level > 32767)
    throw Error("install level " + std::to_string(level) + " is outside 1..32767");
  if (!s.costFinalized) throw Error("install level: CostFinalize has not run");
  s.setProperty("INSTALLLEVEL", std::to_string(level));
  s.features->computeRequests(level, FeatureOverrides{});
  s.components->computeActions(*s.features);
}

// --- directories ------------------------------------------------------------------------

const DirectoryTree* Session::directoryTree() const {
  return state_->directories ? &*state_->directories : nullptr;
}

std::optional<std::string> Session::targetPath(std::string_view directory) const {
  const State& s = *state_;
  if (!s.directories || !s.costFinalized) return std::nullopt;
  const auto i = s.directories->find(directory);
  if (!i || s.directories->entries()[*i].target.empty()) return std::nullopt;
  return s.directories->entries()[*i].target;
}

std::optional<std::string> Session::sourcePath(std::string_view directory) const {
  const State& s = *state_;
  if (!s.directories || !s.costFinalized) return std::nullopt;
  const auto i = s.directories->find(directory);
  if (!i || s.directories->entries()[*i].source.empty()) return std::nullopt;
  return s.directories->entries()[*i].source;
}

void Session::setTargetPath(std::string_view directory, std::string_view path) {
  state_->setTargetPath(directory, path);
}

// --- disk cost --------------------------------------------------------------------------

std::vector<VolumeCost> Session::volumeCosts() const {
  const State& s = *state_;
  std::vector<VolumeCost> costs;
  for (const std::string& volume : s.machine.volumes()) {
    VolumeCost cost;
    cost.volume = volume;
    cost.size = s.machine.volumeSize;
    cost.available = s.machine.volumeFree;
    if (s.components && s.directories) {
      const std::string folded = foldWindowsPath(volume);
      for (const ComponentEntry& c : s.components->entries()) {
        if (c.action != InstallState::Local) continue;
        if (c.directory != kNoDirectory &&
            foldWindowsPath(s.directories->entries()[c.directory].target).starts_with(folded))
          cost.required += c.cost;
      }
    }
    costs.push_back(cost);
  }
  return costs;
}

std::uint64_t Session::featureCost(std::string_view feature) const {
  const State& s = *state_;
  (void)featureRequestState(feature);
  std::uint64_t total = 0;
  for (std::size_t c : s.features->entries()[*s.features->find(feature)].components)
    if (s.components->entries()[c].enabled) total += s.components->entries()[c].cost;
  return total;
}

// --- SessionContext ---------------------------------------------------------------------

std::optional<std::string> Session::environment(std::string_view name) const {
  return state_->machine.environment(name);
}

std::optional<InstallStates> Session::featureStates(std::string_view feature) const {
  const State& s = *state_;
  if (!s.features) return std::nullopt;
  const auto i = s.features->find(feature);
  if (!i) return std::nullopt;
  return InstallStates{s.features->entries()[*i].installed, s.features->action(*i)};
}

std::optional<InstallStates> Session::componentStates(std::string_view component) const {
  const State& s = *state_;
  if (!s.components) return std::nullopt;
  const auto i = s.components->find(component);
  if (!i) return std::nullopt;
  const ComponentEntry& c = s.components->entries()[*i];
  if (!c.enabled) return InstallStates{};
  return InstallStates{c.installed, c.action};
}

std::optional<std::string> Session::fileTargetPath(std::string_view fileKey) const {
  const State& s = *state_;
  if (!s.components) return std::nullopt;
  const auto f = s.components->findFile(fileKey);
  if (!f) return std::nullopt;
  const FileEntry& file = s.components->files()[*f];
  const ComponentEntry& c = s.components->entries()[file.component];
  const bool fromSource = c.action == InstallState::Source;
  const auto folder = componentFolder(s, c, fromSource);
  if (!folder) return std::string();
  const auto names = s.components->fileNames(file);
  return *folder + (fromSource && (s.wordCount & 1) ? names.shortName : names.longName);
}

std::optional<std::string> Session::fileShortPath(std::string_view fileKey) const {
  const State& s = *state_;
  if (!s.components) return std::nullopt;
  const auto f = s.components->findFile(fileKey);
  if (!f) return std::nullopt;
  const FileEntry& file = s.components->files()[*f];
  const ComponentEntry& c = s.components->entries()[file.component];
  if (!s.directories || !s.costFinalized) return std::string();
  if (c.directory == kNoDirectory || s.directories->entries()[c.directory].targetShort.empty()) return std::string();
  return s.directories->entries()[c.directory].targetShort + s.components->fileNames(file).shortName;
}

std::optional<std::string> Session::componentDirectory(std::string_view component) const {
  const State& s = *state_;
  if (!s.components) return std::nullopt;
  const auto i = s.components->find(component);
  if (!i) return std::nullopt;
  const ComponentEntry& c = s.components->entries()[*i];
  const auto folder = componentFolder(s, c, c.action == InstallState::Source);
  return folder.value_or(std::string());
}

}  // namespace msi
