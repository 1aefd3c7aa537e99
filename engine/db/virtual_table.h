// Tables computed from database state rather than stored rows: `_Tables` and `_Columns`
// (read-only views of the catalogue), `_Streams` and `_Storages` (root streams and storages,
// writable).
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "engine/db/database.h"
#include "engine/db/stream_store.h"

namespace msi {

class VirtualTable : public Table {
 public:
  // `generation` tells when the rows must be built again by `build`.
  VirtualTable(Schema schema, std::function<std::uint64_t()> generation,
               std::function<std::vector<Row>()> build);

  const Schema& schema() const override { return schema_; }
  std::size_t size() const override;
  const Row& row(std::size_t i) const override;
  std::optional<std::size_t> find(const Row& keyOrRow) const override;
  void insert(Row row, bool temporary = false) override;
  void update(std::size_t i, Row row) override;
  void erase(std::size_t i) override;

 protected:
  std::string where() const { return "table `" + schema_.name + "`"; }
  [[noreturn]] void readOnly() const;

 private:
  void refresh() const;
  std::string keyOf(const Row& keyOrRow) const;

  Schema schema_;
  std::function<std::uint64_t()> generation_;
  std::function<std::vector<Row>()> build_;
  mutable bool built_ = false;
  mutable std::uint64_t builtAt_ = 0;
  mutable std::vector<Row> rows_;
  mutable std::map<std::string, std::size_t> index_;
};

// `_Streams` (Name, Data) or `_Storages` (Name, Data) over a stream store.
class StreamsTable final : public VirtualTable {
 public:
  StreamsTable(StreamStore& store, bool storages);
  void insert(Row row, bool temporary = false) override;
  void update(std::size_t i, Row row) override;
  void erase(std::size_t i) override;

 private:
  void put(const Row& row);
  StreamStore& store_;
  bool storages_;
};

}  // namespace msi
