#include "engine/text/integers.h"

#include <limits>

namespace msi::text {
namespace {

// Digits only, at most `limit`; nullopt when empty, not all digits, or too large.
std::optional<std::uint64_t> digits(std::string_view text, std::uint64_t limit) {
  if (text.empty()) return std::nullopt;
  std::uint64_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    const auto digit = static_cast<std::uint64_t>(c - '0');
    if (value > (limit - digit) / 10) return std::nullopt;
    value = value * 10 + digit;
  }
  return value;
}

}  // namespace

std::optional<std::int32_t> parseInt32(std::string_view text, PlusSign plus) {
  const bool negative = !text.empty() && text.front() == '-';
  if (negative || (plus == PlusSign::Allowed && !text.empty() && text.front() == '+'))
    text.remove_prefix(1);
  const std::uint64_t limit =
      static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max()) + (negative ? 1 : 0);
  const auto magnitude = digits(text, limit);
  if (!magnitude) return std::nullopt;
  return static_cast<std::int32_t>(negative ? -static_cast<std::int64_t>(*magnitude)
                                            : static_cast<std::int64_t>(*magnitude));
}

std::optional<std::uint32_t> parseUInt32(std::string_view text) {
  const auto value = digits(text, std::numeric_limits<std::uint32_t>::max());
  if (!value) return std::nullopt;
  return static_cast<std::uint32_t>(*value);
}

std::optional<std::uint64_t> parseUInt64(std::string_view text) {
  return digits(text, std::numeric_limits<std::uint64_t>::max());
}

}  // namespace msi::text
