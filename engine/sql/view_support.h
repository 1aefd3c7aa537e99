// Pieces shared by the views of each statement kind (private to the module).
#pragma once

#include <memory>
#include <string_view>
#include <vector>

#include "engine/sql/ast.h"
#include "engine/sql/view.h"

namespace msi::sql {

std::unique_ptr<View> makeSelectView(Database& db, Query query);
std::unique_ptr<View> makeInsertView(Database& db, Query query);
std::unique_ptr<View> makeUpdateView(Database& db, Query query);
std::unique_ptr<View> makeDeleteView(Database& db, Query query);
std::unique_ptr<View> makeSchemaView(Database& db, Query query);  // CREATE, ALTER, DROP

// The named table; throws Error("query `...`: unknown table `X` at offset N").
Table& lookupTable(Database& db, std::string_view query, const TableName& name);

// Fields 1..paramCount of the execute record. Throws Error when the query has markers and
// the record is missing or too short.
std::vector<Value> collectParams(const Query& query, const Record* params);

// The value a VALUES or SET operand gives `column`, converted to its type.
Value assignedValue(const Operand& operand, const std::vector<Value>& params,
                    const Column& column);

// Rethrows `e` with the query named in front, unless it already names it.
[[noreturn]] void rethrowInQuery(std::string_view query, const Error& e,
                                 std::string_view context = {});

// Base of the views that change a database and return no rows.
class StatementView : public View {
 public:
  StatementView(Database& db, Query query) : db_(db), query_(std::move(query)) {}
  void execute(const Record* params) final;
  std::optional<Record> fetch() final;
  void modify(ModifyMode mode, Record& record) final;
  void close() final { executed_ = false; }
  std::vector<std::string> columnNames() const final { return {}; }
  std::vector<std::string> columnDefinitions() const final { return {}; }

 protected:
  virtual void run(const std::vector<Value>& params) = 0;
  std::string_view text() const { return query_.text; }

  Database& db_;
  Query query_;

 private:
  bool executed_ = false;
};

}  // namespace msi::sql
