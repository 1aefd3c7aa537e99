#include "engine/sql/value_conversion.h"

#include <functional>
#include <limits>
#include <string>

#include "engine/sql/query_error.h"
#include "engine/text/integers.h"

namespace msi::sql {

Value toColumnValue(const Value& v, const Column& column) {
  if (v.isNull()) return v;
  switch (column.type) {
    case ColumnType::Integer:
      if (v.isInt()) return v;
      if (v.isString()) {
        if (const auto i = text::parseInt32(v.asString())) return Value(*i);
        throw Error("column " + backticked(column.name) + ": '" + printable(v.asString()) +
                    "' is not an integer");
      }
      throw Error("column " + backticked(column.name) + ": binary data in an integer column");
    case ColumnType::String:
      if (v.isString()) return v;
      if (v.isInt()) return Value(std::to_string(v.asInt()));
      throw Error("column " + backticked(column.name) + ": binary data in a text column");
    case ColumnType::Binary:
      if (v.isBlob()) return v;
      throw Error("column " + backticked(column.name) +
                  ": a binary column takes stream data, not text or numbers");
  }
  return v;
}

namespace {

int rank(const Value& v) {
  if (v.isNull()) return 0;
  if (v.isInt()) return 1;
  if (v.isString()) return 2;
  return 3;
}

}  // namespace

int compareForOrder(const Value& a, const Value& b) {
  const int ra = rank(a);
  const int rb = rank(b);
  if (ra != rb) return ra < rb ? -1 : 1;
  if (a.isInt()) return a.asInt() < b.asInt() ? -1 : (a.asInt() > b.asInt() ? 1 : 0);
  if (a.isString()) {
    const int c = a.asString().compare(b.asString());
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
  }
  return 0;  // nulls, and blobs, which have no order of their own
}

std::size_t ValueHash::operator()(const Value& v) const {
  if (v.isInt()) return std::hash<std::int32_t>{}(v.asInt());
  if (v.isString()) return std::hash<std::string>{}(v.asString()) ^ 0x9e3779b97f4a7c15ULL;
  return 0;  // null; blobs are never compared or joined on
}

std::size_t ValuesHash::operator()(const std::vector<Value>& values) const {
  std::size_t h = values.size();
  for (const Value& v : values) h = h * 1000003u ^ ValueHash{}(v);
  return h;
}

}  // namespace msi::sql
