// WHERE expressions bound to the tables of a query: names resolved to column positions,
// types checked, and evaluation over one row of each table.
//
// Semantics: string comparisons allow only = and <>, are exact and case-sensitive, and
// treat null and '' as equal. Integer comparisons order null below every number.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/db/database.h"
#include "engine/sql/ast.h"

namespace msi::sql {

// A table named in a query.
struct SourceTable {
  std::string name;
  Table* table = nullptr;
};

struct BoundColumn {
  std::size_t table = 0;   // position in the query's table list
  std::size_t column = 0;  // 0-based column of that table
};

// Resolves column names against the tables of one query. An unqualified name belongs to
// the first table (in FROM order) that has such a column.
class Scope {
 public:
  Scope(std::string_view query, std::vector<SourceTable> tables);
  BoundColumn resolve(const ColumnName& name) const;  // throws Error naming the column
  const Column& column(BoundColumn c) const;
  const std::vector<SourceTable>& tables() const { return tables_; }
  std::string_view query() const { return query_; }

 private:
  std::string_view query_;
  std::vector<SourceTable> tables_;
};

struct BoundOperand {
  enum class Kind { Column, Constant, Param };
  Kind kind = Kind::Constant;
  BoundColumn column;
  Value constant;
  std::size_t param = 0;
  std::size_t offset = 0;
};

struct BoundExpr {
  Expr::Kind kind = Expr::Kind::Compare;
  std::vector<BoundExpr> children;
  CompareOp op = CompareOp::Eq;
  bool text = false;  // compares strings rather than integers
  BoundOperand left;  // always a column
  BoundOperand right;
  std::size_t offset = 0;
};

// Throws Error for unknown columns, ordering operators on strings, and comparisons whose
// sides have different types.
BoundExpr bindExpression(const Expr& expr, const Scope& scope);

// The expression with every parameter replaced by its record value, converted for the
// column it is compared with. Throws Error when a value cannot be.
BoundExpr substituteParams(const BoundExpr& expr, const std::vector<Value>& params,
                           const Scope& scope);

// rows[t] is the current row of table t (only the tables the expression names are read).
bool evaluate(const BoundExpr& expr, std::span<const Row* const> rows);

// Bit t is set when the expression reads table t (tables beyond 63 share the top bit).
std::uint64_t tablesUsed(const BoundExpr& expr);

}  // namespace msi::sql
