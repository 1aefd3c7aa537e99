// Rows of a user table in memory: validation, ordering by stored key values, binary cells.
// Reading them from and writing them to the table stream is stored_table_persistence.cpp.
#include "engine/db/stored_table.h"
#include "engine/text/quoting.h"

#include <algorithm>

namespace msi {
using text::backticked;
namespace {


std::string keyText(const Row& row, const std::vector<std::size_t>& keys) {
  std::string out;
  for (std::size_t k = 0; k < keys.size(); ++k) {
    if (k) out += ", ";
    out += keys[k] < row.size() ? row[keys[k]].text() : "";
  }
  return "(" + out + ")";
}

// Equality that never loads a blob: two blobs are equal only when they are the same blob.
bool sameCell(const Value& a, const Value& b) {
  if (a.isBlob() || b.isBlob()) return a.isBlob() && b.isBlob() && a.asBlob().sameAs(b.asBlob());
  return a == b;
}

}  // namespace

StoredTable::StoredTable(Schema schema, bool persistent, StringPool& pool, StreamStore& streams)
    : schema_(std::move(schema)), persistent_(persistent), pool_(pool), streams_(streams) {
  for (std::size_t c = 0; c < schema_.columns.size(); ++c) {
    if (schema_.columns[c].key) keyColumns_.push_back(c);
    if (schema_.columns[c].type == ColumnType::Binary) hasBinary_ = true;
  }
}

const Row& StoredTable::row(std::size_t i) const {
  if (i >= rows_.size())
    throw Error(where() + ": row " + std::to_string(i) + " out of range (" +
                std::to_string(rows_.size()) + " rows)");
  if (!rows_[i]) materialize(i);
  return *rows_[i];
}

Row StoredTable::rowCopy(std::size_t i) const {
  if (i < rows_.size() && !rows_[i]) return made(i);
  return row(i);
}

Row StoredTable::made(std::size_t i) const {
  const std::uint32_t* cells = stored(i);
  const std::size_t ncols = schema_.columns.size();
  Row values(ncols);
  for (std::size_t c = 0; c < ncols; ++c) {
    const Column& col = schema_.columns[c];
    if (col.type == ColumnType::Integer) {
      if (const auto v = table_stream::loadInt(cells[c], col.width)) values[c] = Value(*v);
    } else if (col.type == ColumnType::String) {
      if (cells[c]) values[c] = Value(pool_.at(cells[c]));
    }
  }
  return values;
}

void StoredTable::materialize(std::size_t i) const {
  rows_[i] = std::make_unique<Row>(made(i));
}

bool StoredTable::storedKey(const Row& keyOrRow, std::vector<std::uint32_t>& key) const {
  const bool full = keyOrRow.size() == schema_.columns.size();
  key.assign(keyColumns_.size(), 0);
  for (std::size_t k = 0; k < keyColumns_.size(); ++k) {
    const std::size_t from = full ? keyColumns_[k] : k;
    if (from >= keyOrRow.size()) continue;  // missing key values count as null
    const Value& v = keyOrRow[from];
    const Column& col = schema_.columns[keyColumns_[k]];
    if (v.isNull()) continue;
    if (col.type == ColumnType::Integer && v.isInt()) {
      key[k] = table_stream::storeInt(v.asInt(), col.width).value_or(0);
    } else if (col.type == ColumnType::String && v.isString()) {
      key[k] = pool_.find(v.asString());
      if (key[k] == 0) return false;
    } else if (col.type == ColumnType::Binary) {
      key[k] = 1;
    } else {
      return false;  // a value of the wrong kind matches no row
    }
  }
  return true;
}

int StoredTable::compareKey(std::size_t i, const std::vector<std::uint32_t>& key) const {
  const std::uint32_t* cells = stored(i);
  for (std::size_t k = 0; k < key.size(); ++k) {
    const std::uint32_t mine = cells[keyColumns_[k]];
    if (mine != key[k]) return mine < key[k] ? -1 : 1;
  }
  return 0;
}

std::size_t StoredTable::lowerBound(const std::vector<std::uint32_t>& key) const {
  std::size_t lo = 0, hi = rows_.size();
  while (lo < hi) {
    const std::size_t mid = lo + (hi - lo) / 2;
    if (compareKey(mid, key) < 0) {
      lo = mid + 1;
    } else {
      hi = mid;
    }
  }
  return lo;
}

std::optional<std::size_t> StoredTable::find(const Row& keyOrRow) const {
  if (keyColumns_.empty()) return std::nullopt;
  std::vector<std::uint32_t> key;
  if (!storedKey(keyOrRow, key)) return std::nullopt;
  const std::size_t i = lowerBound(key);
  if (i < rows_.size() && compareKey(i, key) == 0) return i;
  return std::nullopt;
}

void StoredTable::check(const Row& row, const Row* current) const {
  if (row.size() != schema_.columns.size())
    throw Error(where() + ": row has " + std::to_string(row.size()) + " values, table has " +
                std::to_string(schema_.columns.size()) + " columns");
  for (std::size_t c = 0; c < row.size(); ++c) {
    const Column& col = schema_.columns[c];
    const Value& v = row[c];
    const auto at = [&] { return where() + ": column " + backticked(col.name); };  // only on errors
    if (v.isNull()) {
      // A row read from a file may already break the rule; leaving such a cell alone is fine.
      if (!col.nullable && !(current && (*current)[c].isNull()))
        throw Error(at() + " cannot be null");
      continue;
    }
    switch (col.type) {
      case ColumnType::Integer:
        if (!v.isInt()) throw Error(at() + " holds integers, not `" + v.text() + "`");
        if (!table_stream::storeInt(v.asInt(), col.width))
          throw Error(at() + ": " + std::to_string(v.asInt()) + " does not fit a " +
                      std::to_string(col.width) + "-byte integer" +
                      (col.width == 4 ? "" : " (-32767..32767)"));
        break;
      case ColumnType::String:
        if (!v.isString()) throw Error(at() + " holds text, not " + (v.isInt() ? "an integer" : "binary data"));
        break;
      case ColumnType::Binary:
        if (!v.isBlob()) throw Error(at() + " holds binary data, not `" + v.text() + "`");
        break;
    }
  }
}

bool StoredTable::writesStreams(bool temporaryRow) const { return hasBinary_ && persistent_ && !temporaryRow; }

std::string StoredTable::streamName(const Row& row) const {
  std::string name = schema_.name;
  for (const std::size_t k : keyColumns_) name += "." + row[k].text();
  return name;
}

std::vector<std::uint32_t> StoredTable::internStrings(const Row& row) {
  std::vector<std::uint32_t> stored(row.size(), 0);
  for (std::size_t c = 0; c < row.size(); ++c) {
    const Value& v = row[c];
    if (v.isString()) {
      stored[c] = pool_.intern(v.asString());
    } else if (v.isInt()) {
      stored[c] = table_stream::storeInt(v.asInt(), schema_.columns[c].width).value_or(0);
    } else if (v.isBlob()) {
      stored[c] = 1;
    }
  }
  return stored;
}

void StoredTable::insert(Row row, bool temporary) {
  temporary = temporary || !persistent_;
  check(row, nullptr);
  const bool streams = writesStreams(temporary);
  std::string name;
  if (streams) {
    name = streamName(row);
    StreamStore::checkName(name, where() + ": binary cell stream");
  }
  std::vector<std::uint32_t> key;
  if (!keyColumns_.empty() && storedKey(row, key)) {
    const std::size_t i = lowerBound(key);
    if (i < rows_.size() && compareKey(i, key) == 0)
      throw Error(where() + ": a row with key " + keyText(row, keyColumns_) + " already exists");
  }
  std::vector<std::uint32_t> stored = internStrings(row);
  std::size_t at = rows_.size();
  if (!keyColumns_.empty()) {
    key.resize(keyColumns_.size());
    for (std::size_t k = 0; k < keyColumns_.size(); ++k) key[k] = stored[keyColumns_[k]];
    // Rows often come in key order (new strings take ever higher ids): then they go last.
    if (!rows_.empty() && compareKey(rows_.size() - 1, key) >= 0) {
      at = lowerBound(key);
      // Rows with equal keys (only from damaged files) keep insertion order.
      while (at < rows_.size() && compareKey(at, key) == 0) ++at;
    }
  }
  if (streams) {
    for (std::size_t c = 0; c < row.size(); ++c) {
      if (schema_.columns[c].type != ColumnType::Binary || schema_.columns[c].temporary) continue;
      if (row[c].isBlob()) {
        streams_.putStream(name, row[c].asBlob());
      } else {
        streams_.removeStream(name);
      }
    }
  }
  for (std::size_t c = 0; c < stored.size(); ++c)
    if (schema_.columns[c].type == ColumnType::String) pool_.addRef(stored[c], temporaryCell(c, temporary));
  stored_.insert(stored_.begin() + static_cast<std::ptrdiff_t>(at * stored.size()), stored.begin(), stored.end());
  // The stored cells hold everything but binary data: a row without binary cells is made
  // again from them when it is read, so a table filled once and read once is not held twice.
  const bool keep = hasBinary_;
  rows_.insert(rows_.begin() + static_cast<std::ptrdiff_t>(at),
               keep ? std::make_unique<Row>(std::move(row)) : nullptr);
  temporary_.insert(temporary_.begin() + static_cast<std::ptrdiff_t>(at), temporary);
  if (temporary) ++temporaryRows_;
  reshaped_ = true;
  if (!temporary) changed_ = true;
}

void StoredTable::update(std::size_t i, Row row) {
  const Row& current = this->row(i);
  check(row, &current);
  for (const std::size_t k : keyColumns_)
    if (!sameCell(row[k], current[k]))
      throw Error(where() + ": column " + backticked(schema_.columns[k].name) +
                  " is part of the key and cannot change");
  const bool temporaryRow = temporary_[i];
  bool persistentChange = false;
  for (std::size_t c = 0; c < row.size(); ++c) {
    if (sameCell(row[c], current[c])) continue;
    const Column& col = schema_.columns[c];
    if (!col.temporary) persistentChange = true;
    if (col.type == ColumnType::Binary && !col.temporary && writesStreams(temporaryRow)) {
      const std::string name = streamName(row);
      if (row[c].isBlob()) {
        streams_.putStream(name, row[c].asBlob());
      } else {
        streams_.removeStream(name);
      }
    }
  }
  const std::vector<std::uint32_t> now = internStrings(row);
  std::uint32_t* cells = stored(i);
  for (std::size_t c = 0; c < now.size(); ++c) {
    if (schema_.columns[c].type != ColumnType::String || now[c] == cells[c]) continue;
    pool_.dropRef(cells[c], temporaryCell(c, temporaryRow));
    pool_.addRef(now[c], temporaryCell(c, temporaryRow));
  }
  std::copy(now.begin(), now.end(), cells);
  *rows_[i] = std::move(row);
  if (persistentChange && persistent_ && !temporaryRow) {
    changed_ = true;
    touched_.push_back(i);
  }
}

void StoredTable::erase(std::size_t i) {
  const Row& current = row(i);
  const bool temporaryRow = temporary_[i];
  if (writesStreams(temporaryRow)) {
    for (std::size_t c = 0; c < current.size(); ++c)
      if (schema_.columns[c].type == ColumnType::Binary && current[c].isBlob())
        streams_.removeStream(streamName(current));
  }
  if (persistent_ && !temporaryRow) changed_ = true;
  const std::size_t ncols = schema_.columns.size();
  const std::uint32_t* cells = stored(i);
  for (std::size_t c = 0; c < ncols; ++c)
    if (schema_.columns[c].type == ColumnType::String) pool_.dropRef(cells[c], temporaryCell(c, temporaryRow));
  if (temporaryRow) --temporaryRows_;
  reshaped_ = true;
  stored_.erase(stored_.begin() + static_cast<std::ptrdiff_t>(i * ncols),
                stored_.begin() + static_cast<std::ptrdiff_t>((i + 1) * ncols));
  rows_.erase(rows_.begin() + static_cast<std::ptrdiff_t>(i));
  temporary_.erase(temporary_.begin() + static_cast<std::ptrdiff_t>(i));
}

void StoredTable::appendColumn(Column column) {
  const std::size_t was = schema_.columns.size();
  if (column.key) keyColumns_.push_back(was);
  if (column.type == ColumnType::Binary) hasBinary_ = true;
  schema_.columns.push_back(std::move(column));
  std::vector<std::uint32_t> wider(rows_.size() * (was + 1), 0);
  for (std::size_t i = 0; i < rows_.size(); ++i) {
    if (rows_[i]) rows_[i]->emplace_back();
    std::copy_n(stored_.begin() + static_cast<std::ptrdiff_t>(i * was), was,
                wider.begin() + static_cast<std::ptrdiff_t>(i * (was + 1)));
  }
  stored_ = std::move(wider);
  reshaped_ = true;
}

}  // namespace msi
