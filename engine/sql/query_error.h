// Errors raised while parsing or running a query: every message starts with the query text
// (shortened when long) so a caller's report says which query failed and where.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "engine/db/value.h"
#include "engine/text/quoting.h"

namespace msi::sql {

// "query `SELECT ...`: " — the query shortened to a readable length.
std::string queryPrefix(std::string_view query);

// Error("query `...`: <cause> at offset N").
[[noreturn]] void throwAt(std::string_view query, std::string_view cause, std::size_t offset,
                          ErrorKind kind = ErrorKind::Syntax);
// Error("query `...`: <cause>").
[[noreturn]] void throwQuery(std::string_view query, std::string_view cause,
                             ErrorKind kind = ErrorKind::Syntax);

using text::backticked;
using text::printable;

}  // namespace msi::sql
