// Parses a query into its syntax tree. Names are not looked up here.
#pragma once

#include <string_view>

#include "engine/sql/ast.h"

namespace msi::sql {

// Throws Error("query `...`: expected ..., found ... at offset N") on bad syntax.
Query parse(std::string_view query);

}  // namespace msi::sql
