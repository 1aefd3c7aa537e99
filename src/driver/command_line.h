// The command line: options first, then the package path, which is every remaining argument
// joined by one blank with every double quote removed (nothing trimmed).
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace fennick::driver {

class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct Options {
  bool help = false;
  bool version = false;
  std::optional<std::string> recordWalk;
  std::optional<std::string> replayWalk;
  std::optional<std::string> dumpTables;
  // The Windows machine the session emulates: a built-in name or a machine file.
  std::optional<std::string> machine;
  // Properties set as on the installer's command line, in the order given.
  std::vector<std::pair<std::string, std::string>> properties;
  std::string packagePath;
};

// `args` excludes the program's own name. Throws UsageError.
Options ParseCommandLine(const std::vector<std::string>& args);
// The package path rule alone, on the argument text.
std::string PackagePathFrom(const std::string& argumentText);
std::string UsageText();

}  // namespace fennick::driver
