// One check for several properties of a session (the failure names each one that differs),
// and the message of what an operation throws.
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

// The message of the E that `operation` throws, or "(nothing thrown)".
template <typename E, typename F>
std::string messageOf(F&& operation) {
  try {
    operation();
  } catch (const E& e) {
    return e.what();
  }
  return "(nothing thrown)";
}

}  // namespace fennick::test
