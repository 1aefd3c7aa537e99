// Text put into messages and into line-oriented output.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace msi::text {

// A name as messages show it: in backticks, control characters as blanks (a name read from a
// damaged file must not break the message's line), cut after `shown` bytes with "...".
std::string backticked(std::string_view name, std::size_t shown = 256);

// The name with control characters (below 0x20, and DEL) replaced by blanks.
std::string printable(std::string_view text);

// One field of tab-separated output: tab, line feed, carriage return and backslash become
// \t, \n, \r and \\, so a field never breaks its line and the escapes read back unambiguously.
std::string tabField(std::string_view text);
void appendTabField(std::string& out, std::string_view text);

}  // namespace msi::text
