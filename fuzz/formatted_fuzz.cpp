// Fuzz target: arbitrary bytes as formatted text. The input up to the first NUL is the
// template; what follows is the value every property, environment variable, file and
// component resolves to, so nested brackets meet hostile keys. The text is formatted plain
// and as a message record whose fields are pieces of the template. The output may not grow
// beyond what the references can insert; crashes, hangs (nesting is capped) and huge
// allocations are failures.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "engine/session/formatted.h"

namespace {

class Context : public msi::SessionContext {
 public:
  explicit Context(std::string_view value) : value_(value) {}
  std::string property(std::string_view name) const override {
    return name.size() % 2 == 0 ? std::string(value_) : std::string();  // some set, some unset
  }
  std::optional<std::string> environment(std::string_view) const override { return std::string(value_); }
  std::optional<msi::InstallStates> featureStates(std::string_view) const override { return std::nullopt; }
  std::optional<msi::InstallStates> componentStates(std::string_view) const override { return std::nullopt; }
  std::optional<std::string> fileTargetPath(std::string_view) const override { return std::string(value_); }
  std::optional<std::string> fileShortPath(std::string_view) const override { return std::nullopt; }
  std::optional<std::string> componentDirectory(std::string_view) const override { return std::string(value_); }

 private:
  std::string_view value_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::size_t nul = input.find('\0');
  const std::string_view text = input.substr(0, nul);
  const std::string_view value = nul == std::string_view::npos ? std::string_view() : input.substr(nul + 1);
  const Context context(value);
  // Each reference takes at least three characters of the template and inserts one value.
  const std::size_t bound = text.size() * (value.size() + 1) + 2;

  msi::FormatOptions shortPaths;
  shortPaths.shortFilePaths = true;
  if (msi::formatText(text, context).size() > bound) std::abort();
  if (msi::formatText(text, context, shortPaths).size() > bound) std::abort();

  // As a record: the template, then short slices of it as fields. A field formats to at
  // most 4 * (value + 1) + 2 characters; a reference inserts a field or the template.
  std::vector<std::string> fields{std::string(text)};
  for (std::size_t i = 0; i < text.size() && fields.size() < 12; i += 1 + text.size() / 8)
    fields.emplace_back(text.substr(i, 4));
  const std::size_t recordBound = (text.size() + 80) * (4 * (value.size() + 1) + 2 + text.size());
  if (msi::formatRecord(fields, context).size() > recordBound) std::abort();
  return 0;
}
