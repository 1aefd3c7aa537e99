// CREATE TABLE, ALTER TABLE and DROP TABLE.
//
// Temporary tables and columns live until the database is closed. HOLD is accepted and has
// no further effect; FREE drops a temporary table (the hold count the installer keeps is
// not modelled).
#include "engine/sql/query_error.h"
#include "engine/sql/view_support.h"

namespace msi::sql {
namespace {

// Tables have at most this many columns (the row format's update masks are 32 bits).
constexpr std::size_t kMaxColumns = 32;

Column columnFrom(const ColumnDefinition& d, bool key) {
  Column c;
  c.name = d.name;
  c.type = d.type;
  c.width = d.width;
  c.nullable = d.nullable;
  c.key = key;
  c.localizable = d.localizable;
  c.temporary = d.temporary;
  return c;
}

class CreateTableView final : public StatementView {
 public:
  CreateTableView(Database& db, Query query)
      : StatementView(db, std::move(query)), schema_(makeSchema()) {}

 private:
  const CreateTableStatement& statement() const {
    return std::get<CreateTableStatement>(query_.statement);
  }

  Schema makeSchema() const {
    const CreateTableStatement& s = statement();
    if (s.columns.size() > kMaxColumns)
      throwAt(text(), "a table has at most " + std::to_string(kMaxColumns) + " columns",
              s.columns[kMaxColumns].offset);
    for (std::size_t i = 0; i < s.columns.size(); ++i)
      for (std::size_t j = 0; j < i; ++j)
        if (s.columns[i].name == s.columns[j].name)
          throwAt(text(), "column " + backticked(s.columns[i].name) + " is defined twice",
                  s.columns[i].offset);

    std::vector<bool> isKey(s.columns.size(), false);
    for (const ColumnName& key : s.primaryKey) {
      if (!key.table.empty() && key.table != s.table.name)
        throwAt(text(), "key column " + backticked(key.column) + " names another table", key.offset);
      std::size_t found = s.columns.size();
      for (std::size_t i = 0; i < s.columns.size(); ++i)
        if (s.columns[i].name == key.column) found = i;
      if (found == s.columns.size())
        throwAt(text(), "unknown key column " + backticked(key.column), key.offset, ErrorKind::NotFound);
      if (isKey[found])
        throwAt(text(), "key column " + backticked(key.column) + " is listed twice", key.offset);
      isKey[found] = true;
    }
    // Key columns come first in a table's rows.
    for (std::size_t i = 0; i < s.primaryKey.size(); ++i)
      if (!isKey[i])
        throwAt(text(),
                "key columns must be the first columns; " + backticked(s.columns[i].name) +
                    " is not a key column",
                s.columns[i].offset);

    Schema schema;
    schema.name = s.table.name;
    bool allTemporary = true;
    bool temporaryKey = false;
    for (std::size_t i = 0; i < s.columns.size(); ++i) {
      schema.columns.push_back(columnFrom(s.columns[i], isKey[i]));
      allTemporary = allTemporary && s.columns[i].temporary;
      temporaryKey = temporaryKey || (isKey[i] && s.columns[i].temporary);
    }
    if (temporaryKey && !allTemporary)
      throwAt(text(), "a persistent table cannot have a temporary key column", s.table.offset);
    schema.temporary = allTemporary;
    return schema;
  }

  void run(const std::vector<Value>&) override {
    if (db_.hasTable(schema_.name))
      throw Error("table " + backticked(schema_.name) + " already exists", ErrorKind::Constraint);
    db_.createTable(schema_);
  }

  Schema schema_;
};

class AlterTableView final : public StatementView {
 public:
  AlterTableView(Database& db, Query query) : StatementView(db, std::move(query)) {
    lookupTable(db_, text(), statement().table);
  }

 private:
  const AlterTableStatement& statement() const {
    return std::get<AlterTableStatement>(query_.statement);
  }

  void run(const std::vector<Value>&) override {
    const AlterTableStatement& s = statement();
    Table& table = lookupTable(db_, text(), s.table);
    switch (s.action) {
      case AlterTableStatement::Action::Hold:
        return;
      case AlterTableStatement::Action::Free:
        if (table.schema().temporary) db_.dropTable(s.table.name);
        return;
      case AlterTableStatement::Action::AddColumn: {
        const Schema& schema = table.schema();
        if (schema.columns.size() >= kMaxColumns)
          throw Error("table " + backticked(s.table.name) + " already has " +
                      std::to_string(kMaxColumns) + " columns");
        if (schema.indexOf(s.column.name))
          throw Error("table " + backticked(s.table.name) + " already has a column " +
                      backticked(s.column.name));
        db_.addColumn(s.table.name, columnFrom(s.column, false));
        return;
      }
    }
  }
};

class DropTableView final : public StatementView {
 public:
  DropTableView(Database& db, Query query) : StatementView(db, std::move(query)) {
    lookupTable(db_, text(), std::get<DropTableStatement>(query_.statement).table);
  }

 private:
  void run(const std::vector<Value>&) override {
    const TableName& name = std::get<DropTableStatement>(query_.statement).table;
    lookupTable(db_, text(), name);
    db_.dropTable(name.name);
  }
};

}  // namespace

std::unique_ptr<View> makeSchemaView(Database& db, Query query) {
  if (std::holds_alternative<CreateTableStatement>(query.statement))
    return std::make_unique<CreateTableView>(db, std::move(query));
  if (std::holds_alternative<AlterTableStatement>(query.statement))
    return std::make_unique<AlterTableView>(db, std::move(query));
  return std::make_unique<DropTableView>(db, std::move(query));
}

}  // namespace msi::sql
