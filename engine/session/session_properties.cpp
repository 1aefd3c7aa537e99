// A session's properties and the bounds on them (SessionLimits).
#include "engine/session/session_state.h"
#include "engine/session/table_rows.h"
#include "engine/text/integers.h"

namespace msi {
namespace {

std::string amount(std::size_t bytes) {
  if (bytes >= (std::size_t{1} << 20) && bytes % (std::size_t{1} << 20) == 0) return std::to_string(bytes >> 20) + " MiB";
  if (bytes >= 1024 && bytes % 1024 == 0) return std::to_string(bytes >> 10) + " KiB";
  return std::to_string(bytes) + " bytes";
}

}  // namespace

std::string Session::State::property(std::string_view name) const {
  auto it = properties.find(name);
  return it == properties.end() ? std::string() : it->second;
}

void Session::State::setProperty(std::string_view name, std::string_view value) {
  if (name.empty()) throw Error("a property needs a name");
  if (stopped) throw SessionLimitError(*stopped);
  auto it = properties.find(name);
  const std::size_t old = it == properties.end() ? 0 : it->second.size();
  const std::size_t total = propertyBytes - old + value.size();
  std::string cause;
  if (value.size() > limits.propertyBytes)
    cause = "a value of " + std::to_string(value.size()) + " bytes is more than a property may hold (" +
            amount(limits.propertyBytes) + ")";
  else if (total > limits.allPropertyBytes)
    cause = "all property values together would take " + std::to_string(total) +
            " bytes, more than a session may hold (" + amount(limits.allPropertyBytes) + ")";
  if (!cause.empty()) {
    std::string where = "property `" + std::string(name) + "`";
    if (!running.empty()) where += " set by action `" + running.back() + "`";
    stopped = where + ": " + cause + "; the session stops";
    throw SessionLimitError(*stopped);
  }
  if (value.empty()) {
    if (it != properties.end()) properties.erase(it);
  } else if (it != properties.end()) {
    it->second.assign(value);
  } else {
    properties.emplace(std::string(name), std::string(value));
  }
  propertyBytes = total;
  if (name == "UILevel") {
    if (auto level = text::parseInt32(value, text::PlusSign::Allowed)) uiLevel = *level;
  }
}

void Session::State::countPropertyBytes() {
  propertyBytes = 0;
  for (const auto& [name, value] : properties) propertyBytes += value.size();
}

}  // namespace msi
