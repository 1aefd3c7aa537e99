// UPDATE t SET col = value [, ...] [WHERE ...]
#include "engine/sql/expression.h"
#include "engine/sql/query_error.h"
#include "engine/sql/selection.h"
#include "engine/sql/view_support.h"

namespace msi::sql {
namespace {

class UpdateView final : public StatementView {
 public:
  UpdateView(Database& db, Query query) : StatementView(db, std::move(query)) {
    const Bound b = bind();
    // Constants are checked now; parameters when the query runs.
    const UpdateStatement& s = statement();
    for (std::size_t i = 0; i < s.assignments.size(); ++i) {
      const Operand& value = s.assignments[i].value;
      if (value.kind == Operand::Kind::Param) continue;
      try {
        assignedValue(value, {}, b.scope.column(b.targets[i]));
      } catch (const Error& e) {
        throwAt(text(), e.what(), value.offset, e.kind());
      }
    }
  }

 private:
  struct Bound {
    Scope scope;
    std::vector<BoundColumn> targets;
    std::optional<BoundExpr> where;
  };

  const UpdateStatement& statement() const { return std::get<UpdateStatement>(query_.statement); }

  Bound bind() const {
    const UpdateStatement& s = statement();
    Table& table = lookupTable(db_, text(), s.table);
    Bound b{Scope(text(), {SourceTable{s.table.name, &table}}), {}, std::nullopt};
    const std::size_t keyCount = table.schema().keyCount();
    for (const Assignment& a : s.assignments) {
      const BoundColumn c = b.scope.resolve(a.column);
      if (c.column < keyCount)
        throwAt(text(), "key column " + backticked(a.column.column) + " cannot be updated",
                a.column.offset);
      b.targets.push_back(c);
    }
    if (s.where) b.where = bindExpression(*s.where, b.scope);
    return b;
  }

  void run(const std::vector<Value>& params) override {
    const UpdateStatement& s = statement();
    const Bound b = bind();
    std::optional<BoundExpr> where;
    if (b.where) where = substituteParams(*b.where, params, b.scope);
    const Tuples matches = selectRows(b.scope, where ? &*where : nullptr);
    Table& table = *b.scope.tables()[0].table;

    std::vector<Value> values;
    for (std::size_t i = 0; i < s.assignments.size(); ++i)
      values.push_back(assignedValue(s.assignments[i].value, params, b.scope.column(b.targets[i])));

    // Rows keep their places (keys do not change), so earlier writes can be undone by index.
    std::vector<std::pair<std::size_t, Row>> done;
    try {
      for (std::size_t m = 0; m < matches.size(); ++m) {
        const std::size_t index = matches[m][0];
        Row before = table.row(index);
        Row after = before;
        after.resize(table.schema().columns.size());
        for (std::size_t i = 0; i < values.size(); ++i) after[b.targets[i].column] = values[i];
        if (after == before) continue;
        table.update(index, std::move(after));
        done.emplace_back(index, std::move(before));
      }
    } catch (...) {
      for (auto it = done.rbegin(); it != done.rend(); ++it) table.update(it->first, it->second);
      throw;
    }
  }
};

}  // namespace

std::unique_ptr<View> makeUpdateView(Database& db, Query query) {
  return std::make_unique<UpdateView>(db, std::move(query));
}

}  // namespace msi::sql
