// The save prompt's answer as the tool uses it: spaces at both ends removed, nothing else, so
// an interactive run and the walk that replays it write the same file.
#pragma once

#include <string>
#include <string_view>

namespace fennick::ui {

inline std::string TrimSaveAnswer(std::string_view answer) {
  const auto first = answer.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return std::string(answer.substr(first, answer.find_last_not_of(' ') - first + 1));
}

}  // namespace fennick::ui
