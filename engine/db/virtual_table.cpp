// Computed tables: rows built on demand, rebuilt when the state below them changes.
#include "engine/db/virtual_table.h"

namespace msi {
namespace {

Column column(const char* name, const char* def, bool key) {
  Column c = Column::fromDefinition(name, def);
  c.key = key;
  return c;
}

Schema streamsSchema(bool storages) {
  return Schema{storages ? "_Storages" : "_Streams",
                {column("Name", "s62", true), column("Data", "v0", false)}, false};
}

}  // namespace

VirtualTable::VirtualTable(Schema schema, std::function<std::uint64_t()> generation,
                           std::function<std::vector<Row>()> build)
    : schema_(std::move(schema)), generation_(std::move(generation)), build_(std::move(build)) {}

void VirtualTable::refresh() const {
  const std::uint64_t now = generation_();
  if (built_ && now == builtAt_) return;
  rows_ = build_();
  index_.clear();
  for (std::size_t i = 0; i < rows_.size(); ++i) index_.emplace(keyOf(rows_[i]), i);
  built_ = true;
  builtAt_ = now;
}

std::string VirtualTable::keyOf(const Row& keyOrRow) const {
  const bool full = keyOrRow.size() == schema_.columns.size();
  std::string key;
  std::size_t k = 0;
  for (std::size_t c = 0; c < schema_.columns.size(); ++c) {
    if (!schema_.columns[c].key) continue;
    const std::size_t from = full ? c : k;
    if (from < keyOrRow.size()) key += keyOrRow[from].text();
    key += '\x1f';
    ++k;
  }
  return key;
}

std::size_t VirtualTable::size() const {
  refresh();
  return rows_.size();
}

const Row& VirtualTable::row(std::size_t i) const {
  refresh();
  if (i >= rows_.size())
    throw Error(where() + ": row " + std::to_string(i) + " out of range (" +
                std::to_string(rows_.size()) + " rows)");
  return rows_[i];
}

std::optional<std::size_t> VirtualTable::find(const Row& keyOrRow) const {
  refresh();
  const auto it = index_.find(keyOf(keyOrRow));
  if (it == index_.end()) return std::nullopt;
  return it->second;
}

void VirtualTable::readOnly() const {
  throw Error(where() + " is read-only: tables and columns change through CREATE TABLE, "
                        "ALTER TABLE and DROP TABLE");
}

void VirtualTable::insert(Row, bool) { readOnly(); }
void VirtualTable::update(std::size_t, Row) { readOnly(); }
void VirtualTable::erase(std::size_t) { readOnly(); }

StreamsTable::StreamsTable(StreamStore& store, bool storages)
    : VirtualTable(
          streamsSchema(storages), [&store] { return store.generation(); },
          [&store, storages] {
            std::vector<Row> rows;
            for (auto& name : storages ? store.storageNames() : store.streamNames()) {
              Value data;
              if (const auto blob = storages ? store.storageData(name) : store.stream(name)) data = Value(*blob);
              rows.push_back(Row{Value(name), std::move(data)});
            }
            return rows;
          }),
      store_(store),
      storages_(storages) {}

void StreamsTable::put(const Row& row) {
  if (row.size() != 2)
    throw Error(where() + ": row has " + std::to_string(row.size()) + " values, table has 2 columns");
  if (!row[0].isString()) throw Error(where() + ": column `Name` needs a name");
  if (!row[1].isBlob()) throw Error(where() + ": column `Data` needs binary data");
  if (storages_) {
    store_.putStorage(row[0].asString(), row[1].asBlob());
  } else {
    store_.putStream(row[0].asString(), row[1].asBlob());
  }
}

void StreamsTable::insert(Row row, bool) {
  if (row.size() >= 1 && row[0].isString() &&
      (storages_ ? store_.hasStorage(row[0].asString()) : store_.hasStream(row[0].asString())))
    throw Error(where() + ": `" + row[0].asString() + "` already exists");
  put(row);
}

void StreamsTable::update(std::size_t i, Row row) {
  const Row& current = this->row(i);
  if (row.size() < 1 || !(row[0] == current[0]))
    throw Error(where() + ": column `Name` is the key and cannot change");
  put(row);
}

void StreamsTable::erase(std::size_t i) {
  const std::string name = row(i)[0].asString();
  if (storages_) {
    store_.removeStorage(name);
  } else {
    store_.removeStream(name);
  }
}

}  // namespace msi
