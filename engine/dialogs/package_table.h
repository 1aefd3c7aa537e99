// Reads the dialog tables of a package by column name. A table or column the package lacks
// reads as empty, so that a package without (say) a ComboBox table still shows its dialogs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/db/database.h"

namespace msi::dialogs {

class PackageTable {
 public:
  // `columns` are looked up once; cells are then addressed by their index in that list.
  PackageTable(Database& db, std::string_view table, std::initializer_list<std::string_view> columns);

  bool exists() const { return table_ != nullptr; }
  std::size_t size() const;
  // Text of a cell: integers as decimal; "" for null and for a missing column.
  std::string text(std::size_t row, std::size_t column) const;
  // An integer cell, or text holding a decimal integer; nullopt otherwise.
  std::optional<std::int32_t> integer(std::size_t row, std::size_t column) const;
  bool isNull(std::size_t row, std::size_t column) const;
  // Rows whose text in `column` equals `value`, in table order.
  std::vector<std::size_t> rowsWhere(std::size_t column, std::string_view value) const;
  std::vector<std::size_t> rowsWhere(std::size_t column1, std::string_view value1,
                                     std::size_t column2, std::string_view value2) const;

 private:
  const Value* cell(std::size_t row, std::size_t column) const;

  const Table* table_ = nullptr;
  std::vector<std::optional<std::size_t>> columns_;
};

}  // namespace msi::dialogs
