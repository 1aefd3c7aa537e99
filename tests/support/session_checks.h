// One check for several properties of a session: the failure names each one that differs.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "engine/session/session.h"

namespace fennick::test {

using PropertyValues = std::vector<std::pair<std::string, std::string>>;

inline ::testing::AssertionResult hasProperties(const msi::Session& session, const PropertyValues& expected) {
  std::string wrong;
  for (const auto& [name, value] : expected)
    if (session.property(name) != value)
      wrong += "\n  " + name + " = `" + session.property(name) + "`, expected `" + value + "`";
  if (wrong.empty()) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "properties differ:" << wrong;
}

}  // namespace fennick::test
