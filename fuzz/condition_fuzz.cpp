// Fuzz target: arbitrary bytes as a condition. The input up to the first NUL is the
// condition; what follows is the value of the property "P" and the environment variable
// "E", so comparisons meet hostile values too. Every result must be one of the four, an
// Error must explain itself and only a blank condition may have no value; crashes, hangs
// (nesting is capped) and huge allocations are failures.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "engine/session/condition.h"

namespace {

class Context : public msi::SessionContext {
 public:
  explicit Context(std::string_view value) : value_(value) {}
  std::string property(std::string_view name) const override {
    if (name == "P") return std::string(value_);
    if (name == "N") return "42";
    return {};
  }
  std::optional<std::string> environment(std::string_view name) const override {
    if (name == "E") return std::string(value_);
    return std::nullopt;
  }
  std::optional<msi::InstallStates> featureStates(std::string_view name) const override {
    if (name == "F") return msi::InstallStates{msi::InstallState::Absent, msi::InstallState::Local};
    return std::nullopt;
  }
  std::optional<msi::InstallStates> componentStates(std::string_view name) const override {
    if (name == "C") return msi::InstallStates{msi::InstallState::Local, msi::InstallState::Unknown};
    return std::nullopt;
  }
  std::optional<std::string> fileTargetPath(std::string_view) const override { return std::nullopt; }
  std::optional<std::string> fileShortPath(std::string_view) const override { return std::nullopt; }
  std::optional<std::string> componentDirectory(std::string_view) const override { return std::nullopt; }

 private:
  std::string_view value_;
};

bool blank(std::string_view s) {
  for (char c : s)
    if (c != ' ' && c != '\t' && c != '\r' && c != '\n') return false;
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::size_t nul = input.find('\0');
  const std::string_view condition = input.substr(0, nul);
  const std::string_view value = nul == std::string_view::npos ? std::string_view() : input.substr(nul + 1);
  const Context context(value);

  const auto evaluation = msi::evaluateConditionDetailed(condition, context);
  switch (evaluation.result) {
    case msi::ConditionResult::True:
    case msi::ConditionResult::False:
      if (!evaluation.diagnostic.empty()) std::abort();
      break;
    case msi::ConditionResult::None:
      if (!blank(condition) || !evaluation.diagnostic.empty()) std::abort();
      break;
    case msi::ConditionResult::Error:
      if (evaluation.diagnostic.empty() || evaluation.diagnostic.size() > 1000) std::abort();
      break;
    default: std::abort();
  }
  if (msi::evaluateCondition(condition, context) != evaluation.result) std::abort();
  return 0;
}
