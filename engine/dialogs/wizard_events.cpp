// The control events a wizard carries out for publishControlEvents (the EventTarget).
#include <cctype>
#include <map>

#include "engine/dialogs/control_model.h"
#include "engine/dialogs/directory_browse.h"
#include "engine/dialogs/wizard_impl.h"

namespace msi::dialogs {

void Wizard::Impl::setPropertyEvent(std::string_view property, std::optional<std::string> value) {
  session.setProperty(property, value.value_or(std::string()));
}

bool Wizard::Impl::runEvent(std::string_view event, std::string_view argument) {
  if (event == "DoAction") {
    session.doAction(argument);
  } else if (event == "AddLocal") {
    featureEvent(argument, InstallState::Local);
  } else if (event == "AddSource") {
    featureEvent(argument, InstallState::Source);
  } else if (event == "Remove") {
    featureEvent(argument, InstallState::Absent);
  } else if (event == "Reinstall") {
    session.setProperty("REINSTALL", argument);
  } else if (event == "ReinstallMode") {
    session.setProperty("REINSTALLMODE", argument);
  } else if (event == "SetInstallLevel") {
    setInstallLevel(argument);
  } else if (event == "SetTargetPath") {
    return setTargetPath(argument);
  } else if (event == "CheckTargetPath" || event == "CheckExistingTargetPath") {
    const std::string path = session.property(argument);
    const std::string problem = path.empty() ? "property `" + std::string(argument) + "` holds no path"
                                             : pathProblem(session, path);
    if (!problem.empty()) {
      report(MessageKind::Error, eventSource + ": " + std::string(event) + ": " + problem);
      return false;
    }
  } else if (event == "Reset") {
    reset(top());
  } else if (event == "ValidateProductID") {
    session.doAction("ValidateProductID");
  } else if (event == "EnableRollback") {
    // Nothing is installed here, so there is nothing to roll back.
  } else if (event == "DirectoryListUp" || event == "DirectoryListNew" || event == "DirectoryListOpen") {
    directoryListEvent(event);
  } else {
    warn("event `" + std::string(event) + "` is not supported here; passed over");
  }
  return true;
}

void Wizard::Impl::featureEvent(std::string_view argument, InstallState state) {
  const FeatureTree* features = session.featureTree();
  if (!features) {
    warn("features are loaded by CostInitialize, which has not run; `" + std::string(argument) + "` passed over");
    return;
  }
  const bool all = argument == "ALL";
  bool found = false;
  for (std::size_t i = 0; i < features->entries().size(); ++i) {
    const std::string name = features->entries()[i].name;
    if (!all && name != argument) continue;
    found = true;
    if (all && features->disabled(i)) continue;
    if (features->entries()[i].request != state) session.setProperty("Preselected", "1");
    try {
      session.setFeatureRequestState(name, state);
    } catch (const Error& e) {
      report(MessageKind::Error, eventSource + ": " + e.what());
    }
  }
  if (!found) warn("feature `" + std::string(argument) + "` is not in the Feature table");
}

void Wizard::Impl::setInstallLevel(std::string_view argument) {
  long level = 0;
  std::size_t i = 0;
  const bool negative = !argument.empty() && argument[0] == '-';
  if (negative) ++i;
  for (; i < argument.size() && std::isdigit(static_cast<unsigned char>(argument[i])) && level < 100000; ++i)
    level = level * 10 + (argument[i] - '0');
  try {
    session.setInstallLevel(static_cast<int>(negative ? -level : level));
  } catch (const Error& e) {
    report(MessageKind::Error, eventSource + ": SetInstallLevel: " + e.what());
  }
}

bool Wizard::Impl::setTargetPath(std::string_view directory) {
  const std::string path = session.property(directory);
  publishEverywhere("SelectionPath", path);
  if (path.empty()) return true;
  try {
    session.setTargetPath(directory, path);
  } catch (const Error& e) {
    // The installer shows the error and the dialog stays, its remaining events dropped.
    report(MessageKind::Error, eventSource + ": SetTargetPath: " + e.what());
    return false;
  }
  return true;
}

void Wizard::Impl::reset(const DialogFrame& frame) {
  std::map<std::string, std::string, std::less<>> before(frame.snapshot.begin(), frame.snapshot.end());
  for (const auto& [name, value] : session.properties())
    if (!before.contains(name)) session.setProperty(name, "");
  for (const auto& [name, value] : before)
    if (session.property(name) != value) session.setProperty(name, value);
}

void Wizard::Impl::directoryListEvent(std::string_view event) {
  const auto list = std::find_if(top().dialog.controls.begin(), top().dialog.controls.end(),
                                 [](const Control& c) { return c.type == ControlType::DirectoryList; });
  if (list == top().dialog.controls.end()) {
    warn("`" + std::string(event) + "` needs a DirectoryList on the dialog; passed over");
    return;
  }
  const std::string property = resolveProperty(session, *list);
  const std::string path = session.property(property);
  if (property.empty() || path.empty()) return;
  if (event == "DirectoryListUp")
    session.setProperty(property, parentFolder(path));
  else if (event == "DirectoryListNew")
    session.setProperty(property, childFolder(path, newFolderName(session, path)));
  // DirectoryListOpen opens the highlighted folder; choosing a folder here opens it already.
}

// Runs the control events of `control` on the top dialog, then changes dialogs.
void Wizard::Impl::activate(const std::string& control) {
  eventSource = "dialog `" + top().dialog.name + "` control `" + control + "`";
  const auto rows = loadControlEvents(*session.database(), top().dialog.name, control);
  const std::optional<DialogChange> change = publishControlEvents(session, rows, *this);
  if (change && !finished) changeDialogs(*change);
}

}  // namespace msi::dialogs
