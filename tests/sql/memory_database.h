// An in-memory msi::Database for query tests: tables keep rows sorted by key (integers by
// value, text by bytes) and enforce the rules the real tables do (unique keys, non-null
// columns, unchanged keys on update). A table can be told to refuse its next write, to test
// that a failing modification leaves everything as it was.
#pragma once

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/db/database.h"

namespace fennick::test {

class MemoryTable final : public msi::Table {
 public:
  explicit MemoryTable(msi::Schema schema) : schema_(std::move(schema)) {}

  const msi::Schema& schema() const override { return schema_; }
  std::size_t size() const override { return rows_.size(); }
  const msi::Row& row(std::size_t i) const override;
  std::optional<std::size_t> find(const msi::Row& keyOrRow) const override;
  void insert(msi::Row row, bool temporary = false) override;
  void update(std::size_t i, msi::Row row) override;
  void erase(std::size_t i) override;

  void addColumn(msi::Column column);
  bool isTemporaryRow(std::size_t i) const { return temporary_.at(i); }
  // After `writes` more successful inserts, updates or erases, the next one throws instead
  // of changing anything.
  void failWrite(int writes = 0) { failAfter_ = writes; }
  const std::vector<msi::Row>& rows() const { return rows_; }

 private:
  int compareKeys(const msi::Row& a, const msi::Row& b) const;
  std::size_t lowerBound(const msi::Row& key) const;
  void checkWrite();
  void checkRow(const msi::Row& row) const;

  msi::Schema schema_;
  std::vector<msi::Row> rows_;
  std::vector<bool> temporary_;
  int failAfter_ = -1;  // -1: never
};

class MemoryDatabase final : public msi::Database {
 public:
  const std::filesystem::path& path() const override { return path_; }
  bool readOnly() const override { return false; }
  std::vector<std::string> tableNames() const override;
  bool hasTable(std::string_view name) const override;
  MemoryTable& table(std::string_view name) override;
  bool isPersistent(std::string_view table) const override;
  void createTable(msi::Schema schema) override;
  void dropTable(std::string_view name) override;
  void addColumn(std::string_view table, msi::Column column) override;
  int codepage() const override { return codepage_; }
  void setCodepage(int codepage) override { codepage_ = codepage; }
  msi::SummaryInfo& summaryInfo() override { return summary_; }
  void commit() override {}

  // Test set-up: a table from column definitions ("s72", "I2", ...); the first `keys` are
  // the key columns.
  MemoryTable& addTable(const std::string& name,
                        const std::vector<std::pair<std::string, std::string>>& columns,
                        std::size_t keys);

 private:
  std::filesystem::path path_{"memory.msi"};
  std::vector<std::string> order_;
  std::map<std::string, std::unique_ptr<MemoryTable>, std::less<>> tables_;
  int codepage_ = 0;
  msi::SummaryInfo summary_;
};

}  // namespace fennick::test
