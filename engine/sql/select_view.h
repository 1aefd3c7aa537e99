// SELECT views: execute materialises the matching rows, fetch hands them out as records,
// modify writes records back through the tables (see select_modify.cpp).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/sql/ast.h"
#include "engine/sql/expression.h"
#include "engine/sql/view.h"

namespace msi::sql {

class SelectView final : public View {
 public:
  // Binds the query to `db` (throws Error for unknown tables and columns).
  SelectView(Database& db, Query query);

  void execute(const Record* params) override;
  std::optional<Record> fetch() override;
  void modify(ModifyMode mode, Record& record) override;
  void close() override;
  std::vector<std::string> columnNames() const override { return names_; }
  std::vector<std::string> columnDefinitions() const override { return definitions_; }

 private:
  // The query resolved against the tables as they are now. Rebuilt before every use,
  // because tables may be altered or dropped between calls.
  struct Binding {
    Scope scope;
    std::vector<BoundColumn> columns;  // one per result column
    std::optional<BoundExpr> where;
    std::vector<BoundColumn> orderBy;
  };
  // Where a fetched (or sought) record came from: the key of each source row.
  struct Anchor {
    std::vector<Row> keys;  // one per table
  };

  const SelectStatement& statement() const;
  Binding bind() const;
  void describeColumns(const Binding& b);
  std::vector<Anchor>::size_type addAnchor(Anchor anchor);
  const Anchor& anchorOf(const Record& record) const;

  void modifyOne(ModifyMode mode, Record& record);
  void seek(const Binding& b, Record& record);
  void refresh(const Binding& b, Record& record);
  void insert(const Binding& b, const Record& record, bool temporary);
  void update(const Binding& b, const Record& record);
  void assign(const Binding& b, const Record& record);
  void replace(const Binding& b, Record& record);
  void merge(const Binding& b, const Record& record);
  void erase(const Binding& b, const Record& record);

  Database& db_;
  Query query_;
  std::vector<std::string> names_;
  std::vector<std::string> definitions_;
  std::vector<Row> rows_;         // result rows, as fetch returns them
  std::vector<Anchor> anchors_;   // anchors_[i] belongs to rows_[i]; sought rows follow
  std::size_t cursor_ = 0;
  bool executed_ = false;
  std::uint64_t execution_ = 0;  // records carry it; a new execute or close changes it
};

}  // namespace msi::sql
