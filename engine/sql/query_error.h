// Errors raised while parsing or running a query: every message starts with the query text
// (shortened when long) so a caller's report says which query failed and where.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "engine/db/value.h"

namespace msi::sql {

// "query `SELECT ...`: " — the query shortened to a readable length.
std::string queryPrefix(std::string_view query);

// Error("query `...`: <cause> at offset N").
[[noreturn]] void throwAt(std::string_view query, std::string_view cause, std::size_t offset);
// Error("query `...`: <cause>").
[[noreturn]] void throwQuery(std::string_view query, std::string_view cause);

// `name` in backticks, for messages.
std::string backticked(std::string_view name);
// The text with control characters replaced by blanks, so a message stays on one line.
std::string printable(std::string_view text);

}  // namespace msi::sql
