#include "engine/session/table_rows.h"

#include <charconv>

namespace msi {

TableRows::TableRows(Database& db, std::string_view table,
                     std::initializer_list<std::string_view> columns) {
  if (db.hasTable(table)) table_ = &db.table(table);
  for (std::string_view name : columns)
    columns_.push_back(table_ ? table_->schema().indexOf(name) : std::nullopt);
}

std::size_t TableRows::size() const { return table_ ? table_->size() : 0; }

const Value* TableRows::cell(std::size_t row, std::size_t column) const {
  if (!table_ || row >= table_->size() || column >= columns_.size() || !columns_[column])
    return nullptr;
  if (cachedIndex_ != row) {
    cached_ = table_->rowCopy(row);
    cachedIndex_ = row;
  }
  return *columns_[column] < cached_.size() ? &cached_[*columns_[column]] : nullptr;
}

std::string TableRows::text(std::size_t row, std::size_t column) const {
  const Value* v = cell(row, column);
  return v ? v->text() : std::string();
}

std::optional<std::int32_t> TableRows::integer(std::size_t row, std::size_t column) const {
  const Value* v = cell(row, column);
  if (!v) return std::nullopt;
  if (v->isInt()) return v->asInt();
  if (v->isString()) return parseInteger(v->asString());
  return std::nullopt;
}

bool TableRows::isNull(std::size_t row, std::size_t column) const {
  const Value* v = cell(row, column);
  return !v || v->isNull();
}

std::optional<std::int32_t> parseInteger(std::string_view text) {
  if (text.empty()) return std::nullopt;
  std::int32_t value = 0;
  const char* begin = text.data();
  const char* end = text.data() + text.size();
  if (*begin == '+') ++begin;
  auto [ptr, ec] = std::from_chars(begin, end, value);
  if (ec != std::errc() || ptr != end || begin == end) return std::nullopt;
  return value;
}

}  // namespace msi
