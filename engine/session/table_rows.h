// Reads a package table by column name. A table or column the package lacks reads as null, so
// that the actions work on whatever a package holds and never index out of range. Reading
// the rows in order costs one copy of each.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/db/database.h"

namespace msi {

class TableRows {
 public:
  // `columns` are looked up once; cells are then addressed by their index in that list.
  // Throws Error when the table exists but cannot be read.
  TableRows(Database& db, std::string_view table, std::initializer_list<std::string_view> columns);

  bool exists() const { return table_ != nullptr; }
  std::size_t size() const;
  // Text of a cell: integers as decimal text; "" for null and for a missing column.
  std::string text(std::size_t row, std::size_t column) const;
  // An integer cell, or text that is a decimal integer; nullopt otherwise. As the installer
  // reads a record field, text takes a minus sign but no plus sign ("+5" is no integer).
  std::optional<std::int32_t> integer(std::size_t row, std::size_t column) const;
  bool isNull(std::size_t row, std::size_t column) const;
  // The bytes of a binary cell; empty for null, text and a missing column. Throws Error when
  // the stream cannot be read.
  Bytes bytes(std::size_t row, std::size_t column) const;
  // Rows whose text in `column` equals `value`, in table order.
  std::vector<std::size_t> rowsWhere(std::size_t column, std::string_view value) const;

 private:
  const Value* cell(std::size_t row, std::size_t column) const;

  const Table* table_ = nullptr;
  std::vector<std::optional<std::size_t>> columns_;
  // The row last read, as a copy the table does not keep: a large table read through once
  // is then not held in memory a second time as rows.
  mutable std::optional<std::size_t> cachedIndex_;
  mutable Row cached_;
};

}  // namespace msi
