// A real database whose tables can be told to refuse a write, for tests of what a failing
// modification leaves behind: every call goes to the database, except that a table told to
// fail throws on its chosen write instead of changing anything.
#pragma once

#include <map>
#include <memory>

#include "engine/db/database.h"

namespace fennick::test {

class RefusingTable final : public msi::Table {
 public:
  explicit RefusingTable(msi::Table& real) : real_(real) {}
  const msi::Schema& schema() const override { return real_.schema(); }
  std::size_t size() const override { return real_.size(); }
  const msi::Row& row(std::size_t i) const override { return real_.row(i); }
  std::optional<std::size_t> find(const msi::Row& key) const override { return real_.find(key); }
  bool isTemporaryRow(std::size_t i) const override { return real_.isTemporaryRow(i); }
  void insert(msi::Row row, bool temporary = false) override { writable().insert(std::move(row), temporary); }
  void update(std::size_t i, msi::Row row) override { writable().update(i, std::move(row)); }
  void erase(std::size_t i) override { writable().erase(i); }
  // After `writes` more successful inserts, updates or erases, the next one throws.
  void failWrite(int writes = 0) { failAfter_ = writes; }

 private:
  // The real table, unless this write is the one to refuse.
  msi::Table& writable() {
    if (failAfter_ >= 0 && failAfter_-- == 0) throw msi::Error("table `" + schema().name + "`: write refused");
    return real_;
  }
  msi::Table& real_;
  int failAfter_ = -1;  // -1: never
};

class RefusingDatabase final : public msi::Database {
 public:
  explicit RefusingDatabase(std::unique_ptr<msi::Database> real) : real_(std::move(real)) {}
  const std::filesystem::path& path() const override { return real_->path(); }
  bool readOnly() const override { return real_->readOnly(); }
  std::vector<std::string> tableNames() const override { return real_->tableNames(); }
  bool hasTable(std::string_view name) const override { return real_->hasTable(name); }
  RefusingTable& table(std::string_view name) override {
    auto& wrapper = tables_[std::string(name)];
    if (!wrapper) wrapper = std::make_unique<RefusingTable>(real_->table(name));
    return *wrapper;
  }
  bool isPersistent(std::string_view name) const override { return real_->isPersistent(name); }
  void createTable(msi::Schema schema) override { real_->createTable(std::move(schema)); }
  void dropTable(std::string_view name) override {
    real_->dropTable(name);
    tables_.erase(std::string(name));
  }
  void addColumn(std::string_view name, msi::Column column) override { real_->addColumn(name, std::move(column)); }
  int codepage() const override { return real_->codepage(); }
  void setCodepage(int codepage) override { real_->setCodepage(codepage); }
  msi::SummaryInfo& summaryInfo() override { return real_->summaryInfo(); }
  void commit() override { real_->commit(); }

 private:
  std::unique_ptr<msi::Database> real_;
  std::map<std::string, std::unique_ptr<RefusingTable>> tables_;
};

}  // namespace fennick::test
