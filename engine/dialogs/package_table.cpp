#include "engine/dialogs/package_table.h"

#include <charconv>

namespace msi::dialogs {

PackageTable::PackageTable(Database& db, std::string_view table,
                           std::initializer_list<std::string_view> columns) {
  if (db.hasTable(table)) table_ = &db.table(table);
  for (std::string_view column : columns)
    columns_.push_back(table_ ? table_->schema().indexOf(column) : std::nullopt);
}

std::size_t PackageTable::size() const { return table_ ? table_->size() : 0; }

const Value* PackageTable::cell(std::size_t row, std::size_t column) const {
  if (!table_ || row >= table_->size() || column >= columns_.size() || !columns_[column])
    return nullptr;
  const Row& r = table_->row(row);
  return *columns_[column] < r.size() ? &r[*columns_[column]] : nullptr;
}

std::string PackageTable::text(std::size_t row, std::size_t column) const {
  const Value* v = cell(row, column);
  return v ? v->text() : std::string();
}

std::optional<std::int32_t> PackageTable::integer(std::size_t row, std::size_t column) const {
  const Value* v = cell(row, column);
  if (!v || v->isNull()) return std::nullopt;
  if (v->isInt()) return v->asInt();
  if (!v->isString()) return std::nullopt;
  const std::string& s = v->asString();
  std::int32_t out = 0;
  auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
  if (ec != std::errc() || end != s.data() + s.size()) return std::nullopt;
  return out;
}

bool PackageTable::isNull(std::size_t row, std::size_t column) const {
  const Value* v = cell(row, column);
  return !v || v->isNull();
}

std::vector<std::size_t> PackageTable::rowsWhere(std::size_t column, std::string_view value) const {
  std::vector<std::size_t> rows;
  for (std::size_t i = 0; i < size(); ++i)
    if (text(i, column) == value) rows.push_back(i);
  return rows;
}

std::vector<std::size_t> PackageTable::rowsWhere(std::size_t column1, std::string_view value1,
                                                 std::size_t column2, std::string_view value2) const {
  std::vector<std::size_t> rows;
  for (std::size_t i = 0; i < size(); ++i)
    if (text(i, column1) == value1 && text(i, column2) == value2) rows.push_back(i);
  return rows;
}

}  // namespace msi::dialogs
