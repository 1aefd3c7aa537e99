#include "engine/sql/view.h"

#include <string>
#include <type_traits>
#include <variant>

#include "engine/sql/parser.h"
#include "engine/sql/query_error.h"
#include "engine/sql/value_conversion.h"
#include "engine/sql/view_support.h"

namespace msi {

std::unique_ptr<View> View::open(Database& db, std::string_view sql) {
  sql::Query query = sql::parse(sql);
  return std::visit(
      [&](const auto& statement) -> std::unique_ptr<View> {
        using T = std::decay_t<decltype(statement)>;
        if constexpr (std::is_same_v<T, sql::SelectStatement>)
          return sql::makeSelectView(db, std::move(query));
        else if constexpr (std::is_same_v<T, sql::InsertStatement>)
          return sql::makeInsertView(db, std::move(query));
        else if constexpr (std::is_same_v<T, sql::UpdateStatement>)
          return sql::makeUpdateView(db, std::move(query));
        else if constexpr (std::is_same_v<T, sql::DeleteStatement>)
          return sql::makeDeleteView(db, std::move(query));
        else
          return sql::makeSchemaView(db, std::move(query));
      },
      query.statement);
}

namespace sql {

Table& lookupTable(Database& db, std::string_view query, const TableName& name) {
  if (!db.hasTable(name.name)) {
    // The system tables may be served without being listed.
    try {
      return db.table(name.name);
    } catch (const Error&) {
      throwAt(query, "unknown table " + backticked(name.name), name.offset, ErrorKind::NotFound);
    }
  }
  try {
    return db.table(name.name);
  } catch (const Error& e) {
    rethrowInQuery(query, e);
  }
}

std::vector<Value> collectParams(const Query& query, const Record* params) {
  std::vector<Value> values;
  if (query.paramCount == 0) return values;
  const std::size_t available = params == nullptr ? 0 : params->fieldCount();
  if (available < query.paramCount)
    throwQuery(query.text, "the query has " + std::to_string(query.paramCount) +
                               " parameters but the record has " + std::to_string(available) +
                               " fields");
  values.reserve(query.paramCount);
  for (std::size_t i = 1; i <= query.paramCount; ++i) values.push_back(params->field(i));
  return values;
}

Value assignedValue(const Operand& operand, const std::vector<Value>& params,
                    const Column& column) {
  switch (operand.kind) {
    case Operand::Kind::Integer: return toColumnValue(Value(operand.integer), column);
    case Operand::Kind::String: return toColumnValue(Value(operand.text), column);
    case Operand::Kind::Param:
      if (operand.param >= params.size())
        throw Error("parameter " + std::to_string(operand.param + 1) + " has no value");
      return toColumnValue(params[operand.param], column);
    case Operand::Kind::Null:
    case Operand::Kind::Column: break;
  }
  return Value();
}

void rethrowInQuery(std::string_view query, const Error& e, std::string_view context) {
  const std::string prefix = queryPrefix(query);
  const std::string message = e.what();
  if (message.compare(0, prefix.size(), prefix) == 0) throw e;
  throw Error(prefix + std::string(context) + message, e.kind());
}

void StatementView::execute(const Record* params) {
  const std::vector<Value> values = collectParams(query_, params);
  try {
    run(values);
  } catch (const Error& e) {
    rethrowInQuery(query_.text, e);
  }
  executed_ = true;
}

std::optional<Record> StatementView::fetch() {
  if (!executed_) throwQuery(query_.text, "fetch before execute", ErrorKind::Constraint);
  return std::nullopt;
}

void StatementView::modify(ModifyMode, Record&) {
  throwQuery(query_.text, "modify works only on SELECT views", ErrorKind::Unsupported);
}

}  // namespace sql
}  // namespace msi
