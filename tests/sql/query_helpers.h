// Small helpers for query tests: run a query and read its rows as text.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "engine/sql/view.h"
#include "tests/support/error_text.h"
#include "tests/support/fixtures.h"

namespace fennick::test {

using TextRows = std::vector<std::vector<std::string>>;

// A new database for a test's tables; nothing is written unless the test commits.
inline std::unique_ptr<msi::Database> newDatabase() {
  return msi::Database::open(scratchDir() / "query.msi", msi::OpenMode::Create);
}

// Adds a table from column definitions ("s72", "I2", ...); the first `keys` are the key.
inline msi::Table& addTable(msi::Database& db, const std::string& name,
                            const std::vector<std::pair<std::string, std::string>>& columns, std::size_t keys) {
  msi::Schema schema{name, {}};
  for (std::size_t i = 0; i < columns.size(); ++i) {
    schema.columns.push_back(msi::Column::fromDefinition(columns[i].first, columns[i].second));
    schema.columns.back().key = i < keys;
  }
  db.createTable(std::move(schema));
  return db.table(name);
}

// Every row of a table, in stored order.
inline std::vector<msi::Row> rowsOf(const msi::Table& table) {
  std::vector<msi::Row> rows;
  for (std::size_t i = 0; i < table.size(); ++i) rows.push_back(table.row(i));
  return rows;
}

// Every row of the query, each field as Record::stringData gives it.
inline TextRows queryRows(msi::Database& db, std::string_view sql, const msi::Record* params = nullptr) {
  auto view = msi::View::open(db, sql);
  view->execute(params);
  TextRows rows;
  while (auto record = view->fetch()) {
    std::vector<std::string> fields;
    for (std::size_t i = 1; i <= record->fieldCount(); ++i) fields.push_back(record->stringData(i));
    rows.push_back(std::move(fields));
  }
  return rows;
}

// Runs a statement that returns no rows.
inline void run(msi::Database& db, std::string_view sql, const msi::Record* params = nullptr) {
  msi::View::open(db, sql)->execute(params);
}

// A record of text and integer fields; "" stays null.
inline msi::Record recordOf(const std::vector<msi::Value>& values) {
  msi::Record r(values.size());
  for (std::size_t i = 0; i < values.size(); ++i) r.setField(i + 1, values[i]);
  return r;
}

}  // namespace fennick::test
