#include <string>

#include "engine/sql/value_conversion.h"
#include "engine/sql/view.h"
#include "engine/text/integers.h"

namespace msi {
namespace {

[[noreturn]] void outOfRange(std::size_t i, std::size_t count) {
  throw Error("record: field " + std::to_string(i) + " is out of range (the record has " +
              std::to_string(count) + " fields)");
}

}  // namespace

const Value& Record::field(std::size_t i) const {
  if (i == 0) return format_;
  if (i > fields_.size()) outOfRange(i, fields_.size());
  return fields_[i - 1];
}

void Record::setField(std::size_t i, Value v) {
  if (i == 0) {
    format_ = std::move(v);
    return;
  }
  if (i > fields_.size()) outOfRange(i, fields_.size());
  fields_[i - 1] = std::move(v);
}

void Record::setStringData(std::size_t i, std::string_view text) {
  setField(i, text.empty() ? Value() : Value(text));
}

std::optional<std::int32_t> Record::integerData(std::size_t i) const {
  const Value& v = field(i);
  if (v.isInt()) return v.asInt();
  if (v.isString()) return text::parseInt32(v.asString());
  return std::nullopt;
}

}  // namespace msi
