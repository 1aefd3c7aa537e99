#include "engine/sql/expression.h"

#include <utility>

#include "engine/sql/query_error.h"
#include "engine/sql/value_conversion.h"

namespace msi::sql {

Scope::Scope(std::string_view query, std::vector<SourceTable> tables)
    : query_(query), tables_(std::move(tables)) {}

BoundColumn Scope::resolve(const ColumnName& name) const {
  bool tableSeen = name.table.empty();
  for (std::size_t t = 0; t < tables_.size(); ++t) {
    if (!name.table.empty() && tables_[t].name != name.table) continue;
    tableSeen = true;
    const Schema& schema = tables_[t].table->schema();
    for (std::size_t c = 0; c < schema.columns.size(); ++c)
      if (schema.columns[c].name == name.column) return BoundColumn{t, c};
  }
  if (!tableSeen)
    throwAt(query_, "table " + backticked(name.table) + " is not in the FROM list", name.offset);
  const std::string shown =
      name.table.empty() ? backticked(name.column) : backticked(name.table) + "." + backticked(name.column);
  throwAt(query_, "unknown column " + shown, name.offset, ErrorKind::NotFound);
}

const Column& Scope::column(BoundColumn c) const {
  return tables_.at(c.table).table->schema().columns.at(c.column);
}

namespace {

bool isOrdering(CompareOp op) {
  return op == CompareOp::Lt || op == CompareOp::Gt || op == CompareOp::Le ||
         op == CompareOp::Ge;
}

const char* opText(CompareOp op) {
  switch (op) {
    case CompareOp::Eq: return "=";
    case CompareOp::Ne: return "<>";
    case CompareOp::Lt: return "<";
    case CompareOp::Gt: return ">";
    case CompareOp::Le: return "<=";
    case CompareOp::Ge: return ">=";
    case CompareOp::IsNull: return "IS NULL";
    case CompareOp::IsNotNull: return "IS NOT NULL";
  }
  return "?";
}

BoundExpr bindCompare(const Expr& e, const Scope& scope) {
  BoundExpr b;
  b.kind = Expr::Kind::Compare;
  b.op = e.op;
  b.offset = e.offset;
  b.left.kind = BoundOperand::Kind::Column;
  b.left.column = scope.resolve(e.left.column);
  b.left.offset = e.left.offset;
  const Column& left = scope.column(b.left.column);
  b.text = left.type == ColumnType::String;
  if (e.op == CompareOp::IsNull || e.op == CompareOp::IsNotNull) return b;

  const std::string_view query = scope.query();
  if (left.type == ColumnType::Binary)
    throwAt(query, "binary column " + backticked(left.name) + " can only be tested with IS NULL",
            e.left.offset);
  b.right.offset = e.right.offset;
  switch (e.right.kind) {
    case Operand::Kind::Column: {
      b.right.kind = BoundOperand::Kind::Column;
      b.right.column = scope.resolve(e.right.column);
      const Column& right = scope.column(b.right.column);
      if (right.type != left.type)
        throwAt(query,
                "cannot compare column " + backticked(left.name) + " with column " +
                    backticked(right.name) + " of another type",
                e.offset);
      break;
    }
    case Operand::Kind::Integer:
      if (b.text)
        throwAt(query, "cannot compare text column " + backticked(left.name) + " with a number",
                e.right.offset);
      b.right.constant = Value(e.right.integer);
      break;
    case Operand::Kind::String:
      if (!b.text)
        throwAt(query, "cannot compare integer column " + backticked(left.name) + " with a string",
                e.right.offset);
      b.right.constant = Value(e.right.text);
      break;
    case Operand::Kind::Null:
      break;
    case Operand::Kind::Param:
      b.right.kind = BoundOperand::Kind::Param;
      b.right.param = e.right.param;
      break;
  }
  if (b.text && isOrdering(e.op))
    throwAt(query,
            std::string("operator ") + opText(e.op) + " cannot compare strings (column " +
                backticked(left.name) + ")",
            e.offset);
  return b;
}

const Value kNull;

const Value& operandValue(const BoundOperand& op, std::span<const Row* const> rows) {
  if (op.kind != BoundOperand::Kind::Column) return op.constant;
  if (op.column.table >= rows.size()) return kNull;
  const Row* row = rows[op.column.table];
  if (row == nullptr || op.column.column >= row->size()) return kNull;
  return (*row)[op.column.column];
}

// Integer cells read as null unless they hold an integer.
int compareIntegers(const Value& a, const Value& b) {
  const bool an = !a.isInt();
  const bool bn = !b.isInt();
  if (an || bn) return an == bn ? 0 : (an ? -1 : 1);
  return a.asInt() < b.asInt() ? -1 : (a.asInt() > b.asInt() ? 1 : 0);
}

const std::string& textOf(const Value& v) {
  static const std::string empty;
  return v.isString() ? v.asString() : empty;
}

bool evaluateCompare(const BoundExpr& e, std::span<const Row* const> rows) {
  const Value& l = operandValue(e.left, rows);
  if (e.op == CompareOp::IsNull) return l.isNull();
  if (e.op == CompareOp::IsNotNull) return !l.isNull();
  const Value& r = operandValue(e.right, rows);
  if (e.text) {
    const bool same = textOf(l) == textOf(r);
    return e.op == CompareOp::Eq ? same : !same;
  }
  const int c = compareIntegers(l, r);
  switch (e.op) {
    case CompareOp::Eq: return c == 0;
    case CompareOp::Ne: return c != 0;
    case CompareOp::Lt: return c < 0;
    case CompareOp::Gt: return c > 0;
    case CompareOp::Le: return c <= 0;
    case CompareOp::Ge: return c >= 0;
    default: return false;
  }
}

std::uint64_t bitOf(std::size_t table) { return std::uint64_t{1} << (table < 63 ? table : 63); }

}  // namespace

BoundExpr bindExpression(const Expr& expr, const Scope& scope) {
  if (expr.kind == Expr::Kind::Compare) return bindCompare(expr, scope);
  BoundExpr b;
  b.kind = expr.kind;
  b.offset = expr.offset;
  b.children.reserve(expr.children.size());
  for (const Expr& child : expr.children) b.children.push_back(bindExpression(child, scope));
  return b;
}

BoundExpr substituteParams(const BoundExpr& expr, const std::vector<Value>& params,
                           const Scope& scope) {
  BoundExpr out = expr;
  if (expr.kind != Expr::Kind::Compare) {
    for (std::size_t i = 0; i < out.children.size(); ++i)
      out.children[i] = substituteParams(expr.children[i], params, scope);
    return out;
  }
  if (out.right.kind != BoundOperand::Kind::Param) return out;
  const std::size_t index = out.right.param;
  if (index >= params.size())
    throwQuery(scope.query(), "parameter " + std::to_string(index + 1) + " has no value");
  const Column& column = scope.column(out.left.column);
  try {
    out.right.constant = toColumnValue(params[index], column);
  } catch (const Error& e) {
    throwQuery(scope.query(), "parameter " + std::to_string(index + 1) + ": " + e.what(), e.kind());
  }
  out.right.kind = BoundOperand::Kind::Constant;
  return out;
}

bool evaluate(const BoundExpr& expr, std::span<const Row* const> rows) {
  switch (expr.kind) {
    case Expr::Kind::And:
      for (const BoundExpr& child : expr.children)
        if (!evaluate(child, rows)) return false;
      return true;
    case Expr::Kind::Or:
      for (const BoundExpr& child : expr.children)
        if (evaluate(child, rows)) return true;
      return false;
    case Expr::Kind::Compare:
      return evaluateCompare(expr, rows);
  }
  return false;
}

std::uint64_t tablesUsed(const BoundExpr& expr) {
  if (expr.kind != Expr::Kind::Compare) {
    std::uint64_t mask = 0;
    for (const BoundExpr& child : expr.children) mask |= tablesUsed(child);
    return mask;
  }
  std::uint64_t mask = bitOf(expr.left.column.table);
  if (expr.right.kind == BoundOperand::Kind::Column) mask |= bitOf(expr.right.column.table);
  return mask;
}

}  // namespace msi::sql
