// Integers written as text: cell values, property values, option values, summary fields.
// One syntax everywhere: an optional sign, then decimal digits and nothing else (no blanks,
// no hexadecimal), within the range of the result type. Anything else is no number.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace msi::text {

// Whether a leading '+' is taken. Database cells and queries refuse it (the installer reads
// "+5" in an integer column as no integer); property values and option values take it.
enum class PlusSign { Refused, Allowed };

std::optional<std::int32_t> parseInt32(std::string_view text, PlusSign plus = PlusSign::Refused);

// Digits only (no sign).
std::optional<std::uint32_t> parseUInt32(std::string_view text);
std::optional<std::uint64_t> parseUInt64(std::string_view text);

}  // namespace msi::text
