// The rows of one user table, kept sorted by the stored values of their keys (string-pool
// ids for text, biased numbers for integers), as the installer stores them.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/db/database.h"
#include "engine/db/stream_store.h"
#include "engine/db/string_pool.h"
#include "engine/db/table_stream.h"

namespace msi {

class StoredTable final : public Table {
 public:
  // `persistent` is false for a temporary table (never written). Rows start empty.
  StoredTable(Schema schema, bool persistent, StringPool& pool, StreamStore& streams);

  // Fills the table from a decoded stream; `where` prefixes errors. Throws Error on cells
  // that name no string. Returns false when ids had to be remapped (duplicate pool strings),
  // which means the stream must be written again.
  bool load(table_stream::Cells cells, const std::string& where);

  const Schema& schema() const override { return schema_; }
  std::size_t size() const override { return rows_.size(); }
  const Row& row(std::size_t i) const override;
  Row rowCopy(std::size_t i) const override;
  std::optional<std::size_t> find(const Row& keyOrRow) const override;
  void insert(Row row, bool temporary = false) override;
  void update(std::size_t i, Row row) override;
  void erase(std::size_t i) override;
  void reserve(std::size_t rows) override;

  bool persistent() const { return persistent_; }
  // True when the persistent part differs from what the file holds.
  bool changed() const { return changed_; }
  // True when the file holds all of the table: nothing changed, no temporary rows or columns.
  bool holdsOnlyStored() const;
  // Marks the table as written (false) or as needing a full write (true).
  void setChanged(bool on);
  bool isTemporaryRow(std::size_t i) const override { return temporary_.at(i); }

  // Appends a column (null in every row). The caller has checked it.
  void appendColumn(Column column);
  // Columns written to the file: the leading non-temporary ones.
  std::vector<Column> persistentColumns() const;
  // Adds each string reference to `persistent` or `temporary`, indexed by pool id.
  void countStrings(std::vector<std::uint32_t>& persistent, std::vector<std::uint32_t>& temporary) const;
  // The table stream for the persistent rows and columns.
  Bytes encode(bool longRefs) const;
  // The size of what encode() gives.
  std::uint64_t encodedSize(bool longRefs) const;
  // The cells of rows changed in place since the last write, as (offset, bytes) pieces of the
  // stored stream of `streamSize` bytes. Nullopt when that is not enough (rows added, removed
  // or reordered, a stream of another size, or so many changes that encoding is cheaper);
  // then encode() is needed.
  using Piece = std::pair<std::uint64_t, Bytes>;
  std::optional<std::vector<Piece>> changedCells(bool longRefs, std::uint64_t streamSize) const;
  // Gives back the room the row vectors grew into (after many inserts, at a commit).
  void shrinkToFit();
  // Names of the binary-cell streams of the persistent rows.
  std::vector<std::string> binaryStreamNames() const;

 private:
  void materialize(std::size_t i) const;
  Row made(std::size_t i) const;  // row `i` made from its stored cells
  std::string where() const { return "table `" + schema_.name + "`"; }
  // Stored key values of a full row or of a bare key; false when a key string is not pooled.
  bool storedKey(const Row& keyOrRow, std::vector<std::uint32_t>& key) const;
  int compareKey(std::size_t i, const std::vector<std::uint32_t>& key) const;
  // The cells of row `i` as the stream holds them (pool ids, biased integers).
  const std::uint32_t* stored(std::size_t i) const { return stored_.data() + i * schema_.columns.size(); }
  std::uint32_t* stored(std::size_t i) { return stored_.data() + i * schema_.columns.size(); }
  std::size_t lowerBound(const std::vector<std::uint32_t>& key) const;
  void check(const Row& row, const Row* current) const;
  std::string streamName(const Row& row) const;
  bool writesStreams(bool temporaryRow) const;
  // Interns the row's strings and returns its cells in stored form.
  std::vector<std::uint32_t> internStrings(const Row& row);

  Schema schema_;
  bool persistent_;
  StringPool& pool_;
  StreamStore& streams_;
  std::vector<std::size_t> keyColumns_;
  bool hasBinary_ = false;
  // A row is its stored cells until first read: its values are made then and kept (also
  // through const). A row without binary cells that was inserted is not kept either, since
  // its cells hold all of it; rows with binary cells hold their blobs from the start.
  mutable std::vector<std::unique_ptr<Row>> rows_;
  std::vector<bool> temporary_;  // by row: inserted as temporary
  // Every row's stored cells, one row after another in row order: one allocation per table.
  std::vector<std::uint32_t> stored_;
  bool changed_ = false;
  // Since the last write: entries whose persistent cells changed in place, and whether rows
  // moved (then the whole stream is encoded again).
  std::vector<std::size_t> touched_;
  bool reshaped_ = true;
  std::size_t temporaryRows_ = 0;
  bool temporaryCell(std::size_t column, bool temporaryRow) const {
    return !persistent_ || temporaryRow || schema_.columns[column].temporary;
  }
};

}  // namespace msi
