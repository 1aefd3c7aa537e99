// A session context over fixed values, for condition and formatted-text tests.
#pragma once

#include <algorithm>
#include <cctype>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "engine/session/session_context.h"

namespace fennick::test {

class FakeSessionContext : public msi::SessionContext {
 public:
  std::map<std::string, std::string, std::less<>> properties;
  std::map<std::string, std::string, std::less<>> environmentVariables;  // keys in upper case
  std::map<std::string, msi::InstallStates, std::less<>> features;
  std::map<std::string, msi::InstallStates, std::less<>> components;
  std::map<std::string, std::string, std::less<>> fileTargets;
  std::map<std::string, std::string, std::less<>> fileShortNames;
  std::map<std::string, std::string, std::less<>> componentDirectories;

  std::string property(std::string_view name) const override { return find(properties, name).value_or(""); }
  std::optional<std::string> environment(std::string_view name) const override {
    std::string upper(name);
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return find(environmentVariables, upper);
  }
  std::optional<msi::InstallStates> featureStates(std::string_view name) const override {
    return find(features, name);
  }
  std::optional<msi::InstallStates> componentStates(std::string_view name) const override {
    return find(components, name);
  }
  std::optional<std::string> fileTargetPath(std::string_view key) const override {
    return find(fileTargets, key);
  }
  std::optional<std::string> fileShortPath(std::string_view key) const override {
    return find(fileShortNames, key);
  }
  std::optional<std::string> componentDirectory(std::string_view name) const override {
    return find(componentDirectories, name);
  }

 private:
  template <typename Map>
  static std::optional<typename Map::mapped_type> find(const Map& map, std::string_view key) {
    auto it = map.find(key);
    if (it == map.end()) return std::nullopt;
    return it->second;
  }
};

}  // namespace fennick::test
