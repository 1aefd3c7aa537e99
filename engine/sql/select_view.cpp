#include "engine/sql/select_view.h"

#include <algorithm>
#include <atomic>
#include <numeric>
#include <unordered_set>

#include "engine/sql/query_error.h"
#include "engine/sql/selection.h"
#include "engine/sql/value_conversion.h"
#include "engine/sql/view_support.h"

namespace msi::sql {
namespace {

// Distinguishes executions, so a record fetched before a re-execute cannot write back.
std::uint64_t nextExecution() {
  static std::atomic<std::uint64_t> counter{0};
  return ++counter;
}

}  // namespace

std::unique_ptr<View> makeSelectView(Database& db, Query query) {
  return std::make_unique<SelectView>(db, std::move(query));
}

SelectView::SelectView(Database& db, Query query)
    : db_(db), query_(std::move(query)), execution_(nextExecution()) {
  describeColumns(bind());
}

void SelectView::describeColumns(const Binding& b) {
  names_.clear();
  definitions_.clear();
  for (const BoundColumn& c : b.columns) {
    const Column& column = b.scope.column(c);
    names_.push_back(column.name);
    definitions_.push_back(column.definition());
  }
}

const SelectStatement& SelectView::statement() const {
  return std::get<SelectStatement>(query_.statement);
}

SelectView::Binding SelectView::bind() const {
  const SelectStatement& s = statement();
  std::vector<SourceTable> tables;
  tables.reserve(s.tables.size());
  for (const TableName& t : s.tables)
    tables.push_back(SourceTable{t.name, &lookupTable(db_, query_.text, t)});
  Binding b{Scope(query_.text, std::move(tables)), {}, std::nullopt, {}};
  if (s.star) {
    for (std::size_t t = 0; t < b.scope.tables().size(); ++t) {
      const std::size_t count = b.scope.tables()[t].table->schema().columns.size();
      for (std::size_t c = 0; c < count; ++c) b.columns.push_back(BoundColumn{t, c});
    }
  } else {
    for (const ColumnName& name : s.columns) b.columns.push_back(b.scope.resolve(name));
  }
  if (s.where) b.where = bindExpression(*s.where, b.scope);
  for (const ColumnName& name : s.orderBy) {
    const BoundColumn c = b.scope.resolve(name);
    if (b.scope.column(c).type == ColumnType::Binary)
      throwAt(query_.text, "cannot order by binary column " + backticked(name.column), name.offset);
    b.orderBy.push_back(c);
  }
  return b;
}

void SelectView::execute(const Record* params) {
  close();
  const std::vector<Value> values = collectParams(query_, params);
  try {
    const Binding b = bind();
    describeColumns(b);  // `*` follows columns added since the view was opened
    std::optional<BoundExpr> where;
    if (b.where) where = substituteParams(*b.where, values, b.scope);
    const Tuples tuples = selectRows(b.scope, where ? &*where : nullptr);
    const auto& tables = b.scope.tables();

    std::vector<std::size_t> order(tuples.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    auto cell = [&](std::size_t tuple, BoundColumn c) -> const Value& {
      static const Value null;
      const Row& row = tables[c.table].table->row(tuples[tuple][c.table]);
      return c.column < row.size() ? row[c.column] : null;
    };
    if (!b.orderBy.empty()) {
      // Stable, so rows equal in every ORDER BY column keep their stored order.
      std::stable_sort(order.begin(), order.end(), [&](std::size_t x, std::size_t y) {
        for (const BoundColumn& c : b.orderBy) {
          const int r = compareForOrder(cell(x, c), cell(y, c));
          if (r != 0) return r < 0;
        }
        return false;
      });
    }

    std::unordered_set<Row, ValuesHash> seen;
    rows_.reserve(order.size());
    anchors_.reserve(order.size());
    for (const std::size_t i : order) {
      Row values;
      values.reserve(b.columns.size());
      for (const BoundColumn& c : b.columns) values.push_back(cell(i, c));
      if (statement().distinct && !seen.insert(values).second) continue;
      Anchor anchor;
      anchor.keys.reserve(tables.size());
      for (std::size_t t = 0; t < tables.size(); ++t) {
        const Row& row = tables[t].table->row(tuples[i][t]);
        const std::size_t keyCount = std::min(tables[t].table->schema().keyCount(), row.size());
        anchor.keys.emplace_back(row.begin(), row.begin() + static_cast<std::ptrdiff_t>(keyCount));
      }
      rows_.push_back(std::move(values));
      anchors_.push_back(std::move(anchor));
    }
  } catch (const Error& e) {
    close();
    rethrowInQuery(query_.text, e);
  }
  executed_ = true;
}

std::optional<Record> SelectView::fetch() {
  if (!executed_) throwQuery(query_.text, "fetch before execute", ErrorKind::Constraint);
  if (cursor_ >= rows_.size()) return std::nullopt;
  const Row& values = rows_[cursor_];
  Record record(values.size());
  for (std::size_t j = 0; j < values.size(); ++j) record.setField(j + 1, values[j]);
  record.origin = execution_;
  record.originRow = cursor_;
  ++cursor_;
  return record;
}

void SelectView::close() {
  rows_.clear();
  anchors_.clear();
  cursor_ = 0;
  executed_ = false;
  execution_ = nextExecution();
}

std::vector<SelectView::Anchor>::size_type SelectView::addAnchor(Anchor anchor) {
  anchors_.push_back(std::move(anchor));
  return anchors_.size() - 1;
}

const SelectView::Anchor& SelectView::anchorOf(const Record& record) const {
  if (record.origin != execution_ || record.originRow >= anchors_.size())
    throw Error("the record was not fetched from this view since it was last executed");
  return anchors_[record.originRow];
}

}  // namespace msi::sql
