// Conversions between record values and the cells of typed columns, and the orderings and
// hashes the query engine needs for values.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "engine/db/value.h"

namespace msi::sql {

// The value `column` stores for `v`: integers from decimal text, text from integers, null
// stays null. Throws Error("column `X`: ...") when the value does not fit the column type.
Value toColumnValue(const Value& v, const Column& column);

// ORDER BY: null first, integers by value, text by bytes.
int compareForOrder(const Value& a, const Value& b);

struct ValueHash {
  std::size_t operator()(const Value& v) const;
};
struct ValuesHash {
  std::size_t operator()(const std::vector<Value>& values) const;
};

}  // namespace msi::sql
