// View::modify for SELECT views: each mode writes through Table::insert/update/erase, so the
// database enforces its own rules, and a failing call leaves every table as it was.
#include <string>

#include "engine/sql/query_error.h"
#include "engine/sql/select_view.h"
#include "engine/sql/value_conversion.h"
#include "engine/sql/view_support.h"

namespace msi::sql {
namespace {

std::string modeName(ModifyMode mode) {
  switch (mode) {
    case ModifyMode::Seek: return "Seek";
    case ModifyMode::Refresh: return "Refresh";
    case ModifyMode::Insert: return "Insert";
    case ModifyMode::Update: return "Update";
    case ModifyMode::Assign: return "Assign";
    case ModifyMode::Replace: return "Replace";
    case ModifyMode::Merge: return "Merge";
    case ModifyMode::Delete: return "Delete";
    case ModifyMode::InsertTemporary: return "InsertTemporary";
    case ModifyMode::Validate: return "Validate";
    case ModifyMode::ValidateNew: return "ValidateNew";
    case ModifyMode::ValidateField: return "ValidateField";
    case ModifyMode::ValidateDelete: return "ValidateDelete";
  }
  return "mode " + std::to_string(static_cast<int>(mode));
}

std::string keyText(const Row& key) {
  std::string text = "(";
  for (std::size_t i = 0; i < key.size(); ++i) {
    if (i > 0) text += ", ";
    text += key[i].isString() ? "'" + printable(key[i].asString()) + "'" : key[i].text();
  }
  return text + ")";
}

std::size_t keyCountOf(const Table& table) { return table.schema().keyCount(); }

Row keyOf(const Table& table, const Row& row) {
  const std::size_t n = std::min(keyCountOf(table), row.size());
  return Row(row.begin(), row.begin() + static_cast<std::ptrdiff_t>(n));
}

// Table::find wants a row as wide as the table; keys are its leading values.
std::optional<std::size_t> findKey(const Table& table, const Row& key) {
  Row probe(table.schema().columns.size());
  for (std::size_t i = 0; i < key.size() && i < probe.size(); ++i) probe[i] = key[i];
  const auto found = table.find(probe);
  if (found && *found >= table.size()) return std::nullopt;
  return found;
}

std::size_t locate(const SourceTable& source, const Row& key) {
  if (const auto i = findKey(*source.table, key)) return *i;
  throw Error("the row " + keyText(key) + " of table " + backticked(source.name) +
              " no longer exists");
}

void requireOneTable(const Scope& scope) {
  if (scope.tables().size() != 1) throw Error("not supported on a view of several tables");
}

void requireKeys(const SourceTable& source) {
  if (keyCountOf(*source.table) == 0)
    throw Error("table " + backticked(source.name) + " has no primary key");
}

}  // namespace

void SelectView::modify(ModifyMode mode, Record& record) {
  try {
    modifyOne(mode, record);
  } catch (const Error& e) {
    rethrowInQuery(query_.text, e, "modify " + modeName(mode) + ": ");
  }
}

void SelectView::modifyOne(ModifyMode mode, Record& record) {
  switch (mode) {
    case ModifyMode::Validate:
    case ModifyMode::ValidateNew:
    case ModifyMode::ValidateField:
    case ModifyMode::ValidateDelete:
      throw Error("validation against _Validation is not supported");
    case ModifyMode::Seek:
    case ModifyMode::Refresh:
    case ModifyMode::Insert:
    case ModifyMode::Update:
    case ModifyMode::Assign:
    case ModifyMode::Replace:
    case ModifyMode::Merge:
    case ModifyMode::Delete:
    case ModifyMode::InsertTemporary:
      break;
    default:
      throw Error("unknown mode " + std::to_string(static_cast<int>(mode)));
  }
  if (statement().distinct) throw Error("not supported on a SELECT DISTINCT view");
  const Binding b = bind();
  if (record.fieldCount() < b.columns.size())
    throw Error("the record has " + std::to_string(record.fieldCount()) +
                " fields but the view has " + std::to_string(b.columns.size()) + " columns");
  switch (mode) {
    case ModifyMode::Seek: return seek(b, record);
    case ModifyMode::Refresh: return refresh(b, record);
    case ModifyMode::Insert: return insert(b, record, false);
    case ModifyMode::InsertTemporary: return insert(b, record, true);
    case ModifyMode::Update: return update(b, record);
    case ModifyMode::Assign: return assign(b, record);
    case ModifyMode::Replace: return replace(b, record);
    case ModifyMode::Merge: return merge(b, record);
    case ModifyMode::Delete: return erase(b, record);
    default: return;
  }
}

namespace {

// The table row a record describes: the view's columns from the record, every other column
// null.
Row rowFromRecord(const Scope& scope, const std::vector<BoundColumn>& columns,
                  const Record& record) {
  const Table& table = *scope.tables()[0].table;
  Row row(table.schema().columns.size());
  for (std::size_t j = 0; j < columns.size(); ++j)
    row[columns[j].column] = toColumnValue(record.field(j + 1), scope.column(columns[j]));
  return row;
}

// `current` with the view's columns of table `t` taken from the record.
Row overlay(const Scope& scope, const std::vector<BoundColumn>& columns, const Record& record,
            std::size_t t, Row current) {
  current.resize(scope.tables()[t].table->schema().columns.size());
  for (std::size_t j = 0; j < columns.size(); ++j)
    if (columns[j].table == t)
      current[columns[j].column] = toColumnValue(record.field(j + 1), scope.column(columns[j]));
  return current;
}

}  // namespace

void SelectView::seek(const Binding& b, Record& record) {
  requireOneTable(b.scope);
  const SourceTable& source = b.scope.tables()[0];
  requireKeys(source);
  const Schema& schema = source.table->schema();
  Row key(schema.keyCount());
  for (std::size_t k = 0; k < key.size(); ++k) {
    bool present = false;
    for (std::size_t j = 0; j < b.columns.size() && !present; ++j)
      if (b.columns[j].column == k) {
        key[k] = toColumnValue(record.field(j + 1), schema.columns[k]);
        present = true;
      }
    if (!present)
      throw Error("key column " + backticked(schema.columns[k].name) + " is not in the view");
  }
  const auto i = findKey(*source.table, key);
  if (!i) throw Error("no row of table " + backticked(source.name) + " has the key " + keyText(key), ErrorKind::NotFound);
  const Row& row = source.table->row(*i);
  for (std::size_t j = 0; j < b.columns.size(); ++j) {
    const std::size_t c = b.columns[j].column;
    record.setField(j + 1, c < row.size() ? row[c] : Value());
  }
  record.origin = execution_;
  record.originRow = addAnchor(Anchor{{std::move(key)}});
}

void SelectView::refresh(const Binding& b, Record& record) {
  const Anchor& anchor = anchorOf(record);
  const auto& tables = b.scope.tables();
  if (anchor.keys.size() != tables.size()) throw Error("the view's tables have changed");
  std::vector<const Row*> rows;
  for (std::size_t t = 0; t < tables.size(); ++t)
    rows.push_back(&tables[t].table->row(locate(tables[t], anchor.keys[t])));
  for (std::size_t j = 0; j < b.columns.size(); ++j) {
    const Row& row = *rows[b.columns[j].table];
    const std::size_t c = b.columns[j].column;
    record.setField(j + 1, c < row.size() ? row[c] : Value());
  }
}

void SelectView::insert(const Binding& b, const Record& record, bool temporary) {
  requireOneTable(b.scope);
  const SourceTable& source = b.scope.tables()[0];
  Row row = rowFromRecord(b.scope, b.columns, record);
  if (keyCountOf(*source.table) > 0 && findKey(*source.table, keyOf(*source.table, row)))
    throw Error("table " + backticked(source.name) + " already has a row with the key " +
                keyText(keyOf(*source.table, row)));
  source.table->insert(std::move(row), temporary);
}

void SelectView::update(const Binding& b, const Record& record) {
  const Anchor& anchor = anchorOf(record);
  const auto& tables = b.scope.tables();
  if (anchor.keys.size() != tables.size()) throw Error("the view's tables have changed");

  struct Change {
    std::size_t table;
    std::size_t index;
    Row before;
    Row after;
  };
  std::vector<Change> changes;
  for (std::size_t t = 0; t < tables.size(); ++t) {
    const std::size_t index = locate(tables[t], anchor.keys[t]);
    const Row& current = tables[t].table->row(index);
    Row after = overlay(b.scope, b.columns, record, t, current);
    const std::size_t keyCount = keyCountOf(*tables[t].table);
    for (std::size_t k = 0; k < keyCount && k < current.size(); ++k)
      if (!(after[k] == current[k]))
        throw Error("key column " + backticked(tables[t].table->schema().columns[k].name) +
                    " cannot change (Replace can change keys)");
    if (!(after == current)) changes.push_back(Change{t, index, current, std::move(after)});
  }
  // Several tables: undo the earlier writes when a later one is refused.
  for (std::size_t i = 0; i < changes.size(); ++i) {
    try {
      tables[changes[i].table].table->update(changes[i].index, changes[i].after);
    } catch (...) {
      for (std::size_t u = i; u-- > 0;)
        tables[changes[u].table].table->update(changes[u].index, changes[u].before);
      throw;
    }
  }
}

void SelectView::assign(const Binding& b, const Record& record) {
  requireOneTable(b.scope);
  const SourceTable& source = b.scope.tables()[0];
  requireKeys(source);
  Row row = rowFromRecord(b.scope, b.columns, record);
  if (const auto i = findKey(*source.table, keyOf(*source.table, row)))
    source.table->update(*i, std::move(row));
  else
    source.table->insert(std::move(row));
}

void SelectView::replace(const Binding& b, Record& record) {
  requireOneTable(b.scope);
  const Anchor& anchor = anchorOf(record);
  const SourceTable& source = b.scope.tables()[0];
  requireKeys(source);
  Table& table = *source.table;
  const std::size_t index = locate(source, anchor.keys.at(0));
  const Row current = table.row(index);
  Row after = overlay(b.scope, b.columns, record, 0, current);
  Row newKey = keyOf(table, after);
  if (newKey == keyOf(table, current)) {
    if (!(after == current)) table.update(index, std::move(after));
    return;
  }
  if (findKey(table, newKey))
    throw Error("table " + backticked(source.name) + " already has a row with the key " +
                keyText(newKey));
  table.erase(index);
  try {
    table.insert(std::move(after));
  } catch (...) {
    table.insert(current);
    throw;
  }
  // The record now stands for the row under its new key.
  anchors_[record.originRow].keys[0] = std::move(newKey);
}

void SelectView::merge(const Binding& b, const Record& record) {
  requireOneTable(b.scope);
  const SourceTable& source = b.scope.tables()[0];
  requireKeys(source);
  Row row = rowFromRecord(b.scope, b.columns, record);
  const auto i = findKey(*source.table, keyOf(*source.table, row));
  if (!i) {
    source.table->insert(std::move(row));
    return;
  }
  const Row& current = source.table->row(*i);
  const Schema& schema = source.table->schema();
  for (std::size_t c = 0; c < row.size(); ++c) {
    const Value& existing = c < current.size() ? current[c] : Value();
    if (!(existing == row[c]))
      throw Error("the row " + keyText(keyOf(*source.table, row)) + " of table " +
                  backticked(source.name) + " differs in column " + backticked(schema.columns[c].name));
  }
}

void SelectView::erase(const Binding& b, const Record& record) {
  requireOneTable(b.scope);
  const Anchor& anchor = anchorOf(record);
  const SourceTable& source = b.scope.tables()[0];
  requireKeys(source);
  source.table->erase(locate(source, anchor.keys.at(0)));
}

}  // namespace msi::sql
