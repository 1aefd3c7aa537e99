// What a call that is meant to fail reports: the message of the msi::Error it throws.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

#include "engine/base/error.h"

namespace fennick::test {

// The message of the msi::Error that `f` throws, or "" when it throws none.
template <typename F>
std::string errorOf(F&& f) {
  try {
    f();
  } catch (const msi::Error& e) {
    return e.what();
  }
  return {};
}

// Passes when `text` holds every one of `parts`; a failure shows the whole text.
inline ::testing::AssertionResult holds(const std::string& text, std::initializer_list<std::string_view> parts) {
  if (text.empty()) return ::testing::AssertionFailure() << "no error";
  for (const std::string_view part : parts)
    if (text.find(part) == std::string::npos)
      return ::testing::AssertionFailure() << "`" << part << "` is not in: " << text;
  return ::testing::AssertionSuccess();
}

}  // namespace fennick::test
