// DELETE FROM t [WHERE ...]
#include "engine/sql/expression.h"
#include "engine/sql/selection.h"
#include "engine/sql/view_support.h"

namespace msi::sql {
namespace {

class DeleteView final : public StatementView {
 public:
  DeleteView(Database& db, Query query) : StatementView(db, std::move(query)) { bind(); }

 private:
  struct Bound {
    Scope scope;
    std::optional<BoundExpr> where;
  };

  const DeleteStatement& statement() const { return std::get<DeleteStatement>(query_.statement); }

  Bound bind() const {
    const DeleteStatement& s = statement();
    Table& table = lookupTable(db_, text(), s.table);
    Bound b{Scope(text(), {SourceTable{s.table.name, &table}}), std::nullopt};
    if (s.where) b.where = bindExpression(*s.where, b.scope);
    return b;
  }

  void run(const std::vector<Value>& params) override {
    const Bound b = bind();
    std::optional<BoundExpr> where;
    if (b.where) where = substituteParams(*b.where, params, b.scope);
    const Tuples matches = selectRows(b.scope, where ? &*where : nullptr);
    Table& table = *b.scope.tables()[0].table;

    // From the last row back, so the indices still to delete stay valid; a refused erase
    // puts back the rows already taken out.
    std::vector<Row> removed;
    try {
      for (std::size_t m = matches.size(); m-- > 0;) {
        const std::size_t index = matches[m][0];
        Row row = table.row(index);
        table.erase(index);
        removed.push_back(std::move(row));
      }
    } catch (...) {
      for (auto it = removed.rbegin(); it != removed.rend(); ++it) table.insert(*it);
      throw;
    }
  }
};

}  // namespace

std::unique_ptr<View> makeDeleteView(Database& db, Query query) {
  return std::make_unique<DeleteView>(db, std::move(query));
}

}  // namespace msi::sql
