#include "tests/sql/memory_database.h"

#include <algorithm>

namespace fennick::test {
namespace {

int compareCells(const msi::Value& a, const msi::Value& b) {
  auto rank = [](const msi::Value& v) { return v.isNull() ? 0 : v.isInt() ? 1 : 2; };
  if (rank(a) != rank(b)) return rank(a) < rank(b) ? -1 : 1;
  if (a.isInt()) return a.asInt() < b.asInt() ? -1 : a.asInt() > b.asInt() ? 1 : 0;
  if (a.isString()) return a.asString().compare(b.asString());
  return 0;
}

}  // namespace

const msi::Row& MemoryTable::row(std::size_t i) const {
  if (i >= rows_.size()) throw msi::Error("table `" + schema_.name + "`: no row " + std::to_string(i));
  return rows_[i];
}

int MemoryTable::compareKeys(const msi::Row& a, const msi::Row& b) const {
  static const msi::Value null;
  const std::size_t keys = schema_.keyCount();
  for (std::size_t k = 0; k < keys; ++k) {
    const int c = compareCells(k < a.size() ? a[k] : null, k < b.size() ? b[k] : null);
    if (c != 0) return c;
  }
  return 0;
}

std::size_t MemoryTable::lowerBound(const msi::Row& key) const {
  const auto it = std::lower_bound(rows_.begin(), rows_.end(), key,
                                   [&](const msi::Row& r, const msi::Row& k) { return compareKeys(r, k) < 0; });
  return static_cast<std::size_t>(it - rows_.begin());
}

std::optional<std::size_t> MemoryTable::find(const msi::Row& keyOrRow) const {
  const std::size_t i = lowerBound(keyOrRow);
  if (i < rows_.size() && compareKeys(rows_[i], keyOrRow) == 0) return i;
  return std::nullopt;
}

void MemoryTable::checkWrite() {
  if (failAfter_ < 0) return;
  if (failAfter_-- == 0) throw msi::Error("table `" + schema_.name + "`: write refused");
}

void MemoryTable::checkRow(const msi::Row& row) const {
  if (row.size() != schema_.columns.size())
    throw msi::Error("table `" + schema_.name + "`: row has the wrong width");
  for (std::size_t c = 0; c < row.size(); ++c) {
    const msi::Column& column = schema_.columns[c];
    if (!column.nullable && row[c].isNull())
      throw msi::Error("table `" + schema_.name + "`: column `" + column.name + "` may not be null");
    const bool typed = row[c].isNull() ||
                       (column.type == msi::ColumnType::Integer && row[c].isInt()) ||
                       (column.type == msi::ColumnType::String && row[c].isString()) ||
                       (column.type == msi::ColumnType::Binary && row[c].isBlob());
    if (!typed) throw msi::Error("table `" + schema_.name + "`: column `" + column.name + "` has the wrong type");
  }
}

void MemoryTable::insert(msi::Row row, bool temporary) {
  checkWrite();
  checkRow(row);
  if (find(row)) throw msi::Error("table `" + schema_.name + "`: duplicate key");
  const std::size_t at = lowerBound(row);
  rows_.insert(rows_.begin() + static_cast<std::ptrdiff_t>(at), std::move(row));
  temporary_.insert(temporary_.begin() + static_cast<std::ptrdiff_t>(at), temporary);
}

void MemoryTable::update(std::size_t i, msi::Row row) {
  checkWrite();
  if (i >= rows_.size()) throw msi::Error("table `" + schema_.name + "`: no row " + std::to_string(i));
  checkRow(row);
  if (compareKeys(rows_[i], row) != 0)
    throw msi::Error("table `" + schema_.name + "`: key columns may not change");
  rows_[i] = std::move(row);
}

void MemoryTable::erase(std::size_t i) {
  checkWrite();
  if (i >= rows_.size()) throw msi::Error("table `" + schema_.name + "`: no row " + std::to_string(i));
  rows_.erase(rows_.begin() + static_cast<std::ptrdiff_t>(i));
  temporary_.erase(temporary_.begin() + static_cast<std::ptrdiff_t>(i));
}

void MemoryTable::addColumn(msi::Column column) {
  schema_.columns.push_back(std::move(column));
  for (msi::Row& r : rows_) r.resize(schema_.columns.size());
}

std::vector<std::string> MemoryDatabase::tableNames() const { return order_; }

bool MemoryDatabase::hasTable(std::string_view name) const { return tables_.find(name) != tables_.end(); }

MemoryTable& MemoryDatabase::table(std::string_view name) {
  const auto it = tables_.find(name);
  if (it == tables_.end()) throw msi::Error("memory.msi: no table `" + std::string(name) + "`");
  return *it->second;
}

bool MemoryDatabase::isPersistent(std::string_view name) const {
  const auto it = tables_.find(name);
  return it != tables_.end() && !it->second->schema().temporary;
}

void MemoryDatabase::createTable(msi::Schema schema) {
  if (hasTable(schema.name)) throw msi::Error("memory.msi: table `" + schema.name + "` exists");
  order_.push_back(schema.name);
  const std::string name = schema.name;
  tables_.emplace(name, std::make_unique<MemoryTable>(std::move(schema)));
}

void MemoryDatabase::dropTable(std::string_view name) {
  if (tables_.erase(std::string(name)) == 0) throw msi::Error("memory.msi: no table `" + std::string(name) + "`");
  order_.erase(std::find(order_.begin(), order_.end(), name));
}

void MemoryDatabase::addColumn(std::string_view name, msi::Column column) {
  table(name).addColumn(std::move(column));
}

MemoryTable& MemoryDatabase::addTable(const std::string& name,
                                      const std::vector<std::pair<std::string, std::string>>& columns,
                                      std::size_t keys) {
  msi::Schema schema;
  schema.name = name;
  for (std::size_t i = 0; i < columns.size(); ++i) {
    msi::Column c = msi::Column::fromDefinition(columns[i].first, columns[i].second);
    c.key = i < keys;
    schema.columns.push_back(std::move(c));
  }
  createTable(std::move(schema));
  return table(name);
}

}  // namespace fennick::test
