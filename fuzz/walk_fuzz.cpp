// Fuzz target: arbitrary bytes as a walk file. A walk that parses must write itself out as
// text that parses again to the same steps and the same text (what the recorder writes, the
// player reads back); one that does not parse must say so with a WalkError naming the file
// and line. Stepping through it as the player does must stop cleanly at its end. Crashes,
// hangs and other exceptions are failures.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "engine/dialogs/walk.h"

namespace {

void check(bool ok) {
  if (!ok) std::abort();
}

bool sameSteps(const msi::dialogs::Walk& a, const msi::dialogs::Walk& b) {
  if (a.steps().size() != b.steps().size()) return false;
  for (std::size_t i = 0; i < a.steps().size(); ++i) {
    const auto& x = a.steps()[i];
    const auto& y = b.steps()[i];
    if (x.kind != y.kind || x.target != y.target || x.value != y.value || x.cancel != y.cancel) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using msi::dialogs::Walk;
  using msi::dialogs::WalkError;
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  Walk walk = [&] {
    try {
      return Walk::parse(input, "fuzz.walk");
    } catch (const WalkError& e) {
      check(std::string_view(e.what()).starts_with("fuzz.walk:"));
      return Walk::parse("", "empty.walk");
    }
  }();

  const std::string text = walk.text();
  // Quoting can double a line (every `\` becomes `\\`): a line past the bound is refused on
  // reading, and only that may refuse what was written.
  bool overlong = false;
  for (std::size_t start = 0; start < text.size();) {
    const std::size_t nl = text.find('\n', start);
    overlong |= nl - start > msi::dialogs::kWalkMaxLineBytes;
    start = nl + 1;
  }
  if (overlong) {
    try {
      Walk::parse(text, "again.walk");
      check(false);
    } catch (const WalkError&) {
    }
    return 0;
  }
  const Walk again = Walk::parse(text, "again.walk");  // a WalkError here aborts: a failure
  check(sameSteps(walk, again));
  check(again.text() == text);

  std::size_t taken = 0;
  while (walk.peek()) {
    const std::size_t line = walk.peek()->line;
    check(line >= 1 && line <= size + 1);
    check(walk.where() == "fuzz.walk:" + std::to_string(line));
    walk.take();
    ++taken;
  }
  check(taken == walk.steps().size());
  try {
    walk.take();
    check(false);
  } catch (const WalkError&) {
  }
  return 0;
}
