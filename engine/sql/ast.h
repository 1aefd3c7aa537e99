// The parsed form of a query, before any table or column is looked up. Every node keeps
// the byte offset of its source text so later checks can say where a query went wrong.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "engine/db/value.h"

namespace msi::sql {

struct TableName {
  std::string name;
  std::size_t offset = 0;
};

// `column` or `table`.`column`.
struct ColumnName {
  std::string table;  // empty when unqualified
  std::string column;
  std::size_t offset = 0;
};

// A value in an expression, a VALUES list or a SET clause.
struct Operand {
  enum class Kind { Column, Integer, String, Null, Param };
  Kind kind = Kind::Null;
  ColumnName column;       // Column
  std::int32_t integer = 0;  // Integer
  std::string text;        // String ('' parses as Null: an empty string is null)
  std::size_t param = 0;   // Param: 0-based position among the query's markers
  std::size_t offset = 0;
};

enum class CompareOp { Eq, Ne, Lt, Gt, Le, Ge, IsNull, IsNotNull };

// WHERE expressions. AND and OR chains are flat lists, so only parentheses add depth.
struct Expr {
  enum class Kind { And, Or, Compare };
  Kind kind = Kind::Compare;
  std::vector<Expr> children;  // And, Or
  CompareOp op = CompareOp::Eq;  // Compare
  Operand left;                  // Compare: always a column
  Operand right;                 // Compare, except IS [NOT] NULL
  std::size_t offset = 0;
};

struct SelectStatement {
  bool distinct = false;
  bool star = false;
  std::vector<ColumnName> columns;  // empty when star
  std::vector<TableName> tables;
  std::optional<Expr> where;
  std::vector<ColumnName> orderBy;
};

struct InsertStatement {
  TableName table;
  std::vector<ColumnName> columns;
  std::vector<Operand> values;
  bool temporary = false;
};

struct Assignment {
  ColumnName column;
  Operand value;
};

struct UpdateStatement {
  TableName table;
  std::vector<Assignment> assignments;
  std::optional<Expr> where;
};

struct DeleteStatement {
  TableName table;
  std::optional<Expr> where;
};

struct ColumnDefinition {
  std::string name;
  std::size_t offset = 0;
  ColumnType type = ColumnType::String;
  int width = 0;
  bool nullable = true;
  bool localizable = false;
  bool temporary = false;
};

struct CreateTableStatement {
  TableName table;
  std::vector<ColumnDefinition> columns;
  std::vector<ColumnName> primaryKey;
  bool hold = false;
};

struct AlterTableStatement {
  enum class Action { Hold, Free, AddColumn };
  TableName table;
  Action action = Action::Hold;
  ColumnDefinition column;  // AddColumn
  bool hold = false;        // AddColumn ... HOLD
};

struct DropTableStatement {
  TableName table;
};

using Statement = std::variant<SelectStatement, InsertStatement, UpdateStatement,
                               DeleteStatement, CreateTableStatement, AlterTableStatement,
                               DropTableStatement>;

struct Query {
  std::string text;
  Statement statement;
  std::size_t paramCount = 0;  // number of `?` markers, bound left to right
};

}  // namespace msi::sql
