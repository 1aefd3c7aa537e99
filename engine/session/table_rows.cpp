#include "engine/session/table_rows.h"
#include "engine/text/integers.h"


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
  if (v->isString()) return text::parseInt32(v->asString());
  return std::nullopt;
}

Bytes TableRows::bytes(std::size_t row, std::size_t column) const {
  const Value* v = cell(row, column);
  return v && v->isBlob() ? v->asBlob().bytes() : Bytes{};
}

std::vector<std::size_t> TableRows::rowsWhere(std::size_t column, std::string_view value) const {
  std::vector<std::size_t> rows;
  for (std::size_t i = 0; i < size(); ++i)
    if (text(i, column) == value) rows.push_back(i);
  return rows;
}

bool TableRows::isNull(std::size_t row, std::size_t column) const {
  const Value* v = cell(row, column);
  return !v || v->isNull();
}

}  // namespace msi
