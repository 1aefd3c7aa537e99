// INSERT INTO t (cols) VALUES (...) [TEMPORARY]
#include "engine/sql/expression.h"
#include "engine/sql/query_error.h"
#include "engine/sql/view_support.h"

namespace msi::sql {
namespace {

class InsertView final : public StatementView {
 public:
  InsertView(Database& db, Query query) : StatementView(db, std::move(query)) { columns(); }

 private:
  const InsertStatement& statement() const { return std::get<InsertStatement>(query_.statement); }

  // Positions of the listed columns in the table; checks names and repeats.
  std::vector<std::size_t> columns() const {
    const InsertStatement& s = statement();
    Table& table = lookupTable(db_, text(), s.table);
    const Scope scope(text(), {SourceTable{s.table.name, &table}});
    std::vector<std::size_t> positions;
    for (const ColumnName& name : s.columns) {
      const BoundColumn c = scope.resolve(name);
      for (const std::size_t p : positions)
        if (p == c.column) throwAt(text(), "column " + backticked(name.column) + " is listed twice",
                                   name.offset);
      positions.push_back(c.column);
    }
    return positions;
  }

  void run(const std::vector<Value>& params) override {
    const InsertStatement& s = statement();
    const std::vector<std::size_t> positions = columns();
    Table& table = lookupTable(db_, text(), s.table);
    const Schema& schema = table.schema();
    Row row(schema.columns.size());
    for (std::size_t i = 0; i < positions.size(); ++i)
      row[positions[i]] = assignedValue(s.values[i], params, schema.columns[positions[i]]);
    table.insert(std::move(row), s.temporary);
  }
};

}  // namespace

std::unique_ptr<View> makeInsertView(Database& db, Query query) {
  return std::make_unique<InsertView>(db, std::move(query));
}

}  // namespace msi::sql
