// The inside of a session, shared by the files that implement its actions. Not part of the
// module's public interface.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "engine/session/component_set.h"
#include "engine/session/session.h"

namespace msi {

struct Session::State {
  Session* self = nullptr;
  std::shared_ptr<Database> db;
  EmulatedMachine machine;
  mutable StreamSessionHost defaultHost;
  SessionHost* host = nullptr;
  DialogRunner* dialogs = nullptr;
  std::map<std::string, std::string, std::less<>> properties;
  int uiLevel = kUILevelFull;
  bool is64Bit = false;
  int wordCount = 0;  // summary information: 1 short names, 2 compressed, 4 admin image
  std::optional<DirectoryTree> directories;
  std::optional<FeatureTree> features;
  std::optional<ComponentSet> components;
  bool costFinalized = false;
  std::set<std::string, std::less<>> ranOnce;  // custom actions that run once per process
  std::vector<std::string> running;             // doAction calls in progress, innermost last
  SessionLimits limits;
  std::size_t propertyBytes = 0;                // every value together
  std::optional<std::string> stopped;           // why the session refuses to go on
  std::vector<ActionListener*> listeners;
  std::string actionTemplate;                   // the running action's ActionText template

  std::string property(std::string_view name) const;
  void setProperty(std::string_view name, std::string_view value);
  void countPropertyBytes();  // after the map was filled directly
  void report(MessageKind kind, const std::string& text) const;
  ConditionResult evaluate(std::string_view condition) const;
  std::string format(std::string_view text) const;
  DirectoryInputs directoryInputs() const;
  // Tells the listeners an action starts (its ActionText row, or the service's own text for a
  // standard action), and keeps its template for actionData.
  void actionStarted(std::string_view action);
  // A record of the running action: fields[0] is ignored, the template is the action's.
  void actionData(std::vector<std::string> fields);
  // Moves a directory (MsiSetTargetPath); throws Error.
  void setTargetPath(std::string_view directory, std::string_view path);
};

// A standard action's result; nullopt when `name` is not a standard action.
std::optional<ActionStatus> runStandardAction(Session::State& state, std::string_view name);
bool isStandardAction(std::string_view name);
// A CustomAction row's result; nullopt when the table has no such row.
std::optional<ActionStatus> runCustomAction(Session::State& state, std::string_view name);
// The locator actions (app_search.cpp).
ActionStatus runAppSearch(Session::State& state);
ActionStatus runCcpSearch(Session::State& state, bool removableMedia);
// Custom actions of common UI libraries emulated by what they do; nullopt when the action is
// not one of them.
std::optional<ActionStatus> emulateHelper(Session::State& state, std::string_view action, int type,
                                          std::string_view source, std::string_view target);

}  // namespace msi
