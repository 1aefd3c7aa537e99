// A user table and its stream: rows loaded from the stored cells, and the stream (whole, or
// only the cells changed in place) written back, with the string references it counts.
#include <algorithm>
#include <numeric>

#include "engine/db/stored_table.h"

namespace msi {

std::vector<Column> StoredTable::persistentColumns() const {
  std::vector<Column> out;
  for (const auto& c : schema_.columns) {
    if (c.temporary) break;
    out.push_back(c);
  }
  return out;
}

bool StoredTable::load(table_stream::Cells cells, const std::string& at) {
  const std::size_t ncols = schema_.columns.size();
  std::vector<std::uint32_t> raw = std::move(cells.values);
  bool remapped = false;
  const bool duplicates = pool_.hasDuplicates();
  // Validate string ids and fold duplicate pool strings onto the id lookups use.
  for (std::size_t r = 0; r < cells.rows; ++r) {
    for (std::size_t c = 0; c < ncols; ++c) {
      if (schema_.columns[c].type != ColumnType::String) continue;
      std::uint32_t& id = raw[r * ncols + c];
      if (id == 0) continue;
      if (!pool_.has(id))
        throw Error(at + ": row " + std::to_string(r + 1) + ", column " +
                    "`" + schema_.columns[c].name + "`" + ": string id " + std::to_string(id) +
                    " is not in the string pool");
      if (!duplicates) continue;
      const std::uint32_t canonical = pool_.find(pool_.at(id));
      if (canonical != id) {
        id = canonical;
        remapped = true;
      }
    }
  }
  std::vector<std::size_t> order(cells.rows);
  std::iota(order.begin(), order.end(), 0);
  const auto less = [&](std::size_t a, std::size_t b) {
    for (const std::size_t k : keyColumns_) {
      const std::uint32_t x = raw[a * ncols + k], y = raw[b * ncols + k];
      if (x != y) return x < y;
    }
    return false;
  };
  const bool inOrder = std::is_sorted(order.begin(), order.end(), less);
  if (!inOrder) std::stable_sort(order.begin(), order.end(), less);
  // Renumbered ids are not the ones the counts were taken from.
  if (remapped) pool_.forgetCounts();
  touched_.clear();
  temporaryRows_ = 0;
  reshaped_ = !inOrder || remapped;

  stored_.clear();
  if (inOrder) {
    stored_ = std::move(raw);
  } else {
    stored_.reserve(cells.rows * ncols);
    for (const std::size_t r : order)
      stored_.insert(stored_.end(), raw.begin() + static_cast<std::ptrdiff_t>(r * ncols),
                     raw.begin() + static_cast<std::ptrdiff_t>((r + 1) * ncols));
  }
  rows_.clear();
  rows_.resize(cells.rows);
  temporary_.assign(cells.rows, false);
  for (std::size_t i = 0; hasBinary_ && i < cells.rows; ++i) {
    // The placeholder is not trusted: a cell has data when its stream exists.
    materialize(i);
    Row& values = *rows_[i];
    std::uint32_t* storedCells = stored(i);
    const auto blob = streams_.stream(streamName(values));
    for (std::size_t c = 0; c < ncols; ++c) {
      if (schema_.columns[c].type != ColumnType::Binary) continue;
      if (blob) values[c] = Value(*blob);
      storedCells[c] = blob ? 1 : 0;
    }
  }
  return !remapped;
}

void StoredTable::countStrings(std::vector<std::uint32_t>& persistent,
                               std::vector<std::uint32_t>& temporary) const {
  const auto bump = [](std::vector<std::uint32_t>& counts, std::uint32_t id) {
    if (id >= counts.size()) counts.resize(id + 1, 0);
    ++counts[id];
  };
  for (std::size_t i = 0; i < rows_.size(); ++i) {
    const std::uint32_t* cells = stored(i);
    for (std::size_t c = 0; c < schema_.columns.size(); ++c) {
      if (schema_.columns[c].type != ColumnType::String || cells[c] == 0) continue;
      const bool kept = persistent_ && !temporary_[i] && !schema_.columns[c].temporary;
      bump(kept ? persistent : temporary, cells[c]);
    }
  }
}

bool StoredTable::holdsOnlyStored() const {
  if (changed_ || temporaryRows_ > 0) return false;
  for (const auto& c : schema_.columns)
    if (c.temporary) return false;
  return true;
}

Bytes StoredTable::encode(bool longRefs) const {
  const auto columns = persistentColumns();
  const std::size_t ncols = columns.size();
  // Every row and column written: the cells are the stream's values as they stand.
  if (temporaryRows_ == 0 && ncols == schema_.columns.size()) return table_stream::encode(stored_, columns, longRefs);
  std::vector<std::uint32_t> values;
  values.reserve(rows_.size() * ncols);
  for (std::size_t i = 0; i < rows_.size(); ++i) {
    if (temporary_[i]) continue;
    values.insert(values.end(), stored(i), stored(i) + ncols);
  }
  return table_stream::encode(values, columns, longRefs);
}

std::uint64_t StoredTable::encodedSize(bool longRefs) const {
  return static_cast<std::uint64_t>(rows_.size() - temporaryRows_) * table_stream::rowWidth(persistentColumns(), longRefs);
}

void StoredTable::reserve(std::size_t rows) {
  stored_.reserve(rows * schema_.columns.size());
  rows_.reserve(rows);
  temporary_.reserve(rows);
}

void StoredTable::shrinkToFit() {
  stored_.shrink_to_fit();
  rows_.shrink_to_fit();
  temporary_.shrink_to_fit();
}

void StoredTable::setChanged(bool on) {
  changed_ = on;
  touched_.clear();
  reshaped_ = on;
}

std::optional<std::vector<StoredTable::Piece>> StoredTable::changedCells(bool longRefs,
                                                                       std::uint64_t streamSize) const {
  if (reshaped_ || temporaryRows_ > 0) return std::nullopt;
  const auto columns = persistentColumns();
  const std::size_t rows = rows_.size();
  if (streamSize != rows * table_stream::rowWidth(columns, longRefs)) return std::nullopt;
  std::vector<std::size_t> touched = touched_;
  std::sort(touched.begin(), touched.end());
  touched.erase(std::unique(touched.begin(), touched.end()), touched.end());
  if (touched.size() * 16 > rows) return std::nullopt;
  std::vector<Piece> pieces;
  pieces.reserve(touched.size() * columns.size());
  std::uint64_t base = 0;  // start of the column's block
  for (std::size_t c = 0; c < columns.size(); ++c) {
    const unsigned w = table_stream::cellWidth(columns[c], longRefs);
    for (const std::size_t r : touched) {
      Bytes cell(w);
      for (unsigned k = 0; k < w; ++k) cell[k] = static_cast<std::uint8_t>(stored(r)[c] >> (8 * k));
      pieces.emplace_back(base + static_cast<std::uint64_t>(r) * w, std::move(cell));
    }
    base += static_cast<std::uint64_t>(rows) * w;
  }
  return pieces;
}

std::vector<std::string> StoredTable::binaryStreamNames() const {
  std::vector<std::string> out;
  if (!hasBinary_ || !persistent_) return out;
  for (std::size_t i = 0; i < rows_.size(); ++i) {
    if (temporary_[i]) continue;
    const Row& values = row(i);
    for (std::size_t c = 0; c < values.size(); ++c)
      if (schema_.columns[c].type == ColumnType::Binary && values[c].isBlob()) {
        out.push_back(streamName(values));
        break;
      }
  }
  return out;
}

}  // namespace msi
