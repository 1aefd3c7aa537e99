// What condition evaluation and formatted text need to know about a running installation.
// The session object implements it over the package database; tests and tools implement it
// over fixed values. Keeping it this small lets conditions and formatted text be tested (and
// fuzzed) without a database.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace msi {

// Installed and action states of features and components, with the installer's own numbers
// (they appear literally in conditions: `&Feature = 3`).
enum class InstallState : int {
  Unknown = -1,    // no action / not known
  Broken = 0,
  Advertised = 1,  // features only
  Absent = 2,
  Local = 3,
  Source = 4,
  Default = 5,
};

struct InstallStates {
  InstallState installed = InstallState::Unknown;  // `!Feature`, `?Component`
  InstallState action = InstallState::Unknown;     // `&Feature`, `$Component`
  bool operator==(const InstallStates&) const = default;
};

class SessionContext {
 public:
  virtual ~SessionContext() = default;

  // Property value; "" when the property is unset. Names are case-sensitive.
  virtual std::string property(std::string_view name) const = 0;
  // Environment variable of the (emulated) machine; names are case-insensitive there, which
  // is the implementation's business. nullopt when unset.
  virtual std::optional<std::string> environment(std::string_view name) const = 0;
  // nullopt when the package has no such feature / component.
  virtual std::optional<InstallStates> featureStates(std::string_view feature) const = 0;
  virtual std::optional<InstallStates> componentStates(std::string_view component) const = 0;
  // `[#File]`: full path of the file (target, or source when run from source); nullopt for
  // an unknown key. Empty before costing has resolved directories.
  virtual std::optional<std::string> fileTargetPath(std::string_view fileKey) const = 0;
  // `[!File]` in the columns where short names apply; nullopt when unknown.
  virtual std::optional<std::string> fileShortPath(std::string_view fileKey) const = 0;
  // `[$Component]`: the component's directory; nullopt for an unknown component.
  virtual std::optional<std::string> componentDirectory(std::string_view component) const = 0;
};

}  // namespace msi
