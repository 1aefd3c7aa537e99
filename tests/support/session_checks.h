// The properties a test gives a session, and the message of what an operation throws.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "engine/session/session.h"

namespace fennick::test {

using PropertyValues = std::vector<std::pair<std::string, std::string>>;

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
