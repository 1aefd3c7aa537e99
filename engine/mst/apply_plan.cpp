// Planning the application of a transform: catalogue changes, then the records of every
// table, judged against the database as the earlier records leave it.
#include "engine/mst/apply_plan.h"

#include <cstdio>
#include <set>

#include "engine/mst/catalogue_changes.h"
#include "engine/mst/record_values.h"
#include "engine/mst/row_key.h"
#include "engine/mst/transform.h"

namespace msi::mst {
namespace {

bool isSystemTable(std::string_view name) {
  return name == "_Tables" || name == "_Columns" || name == "_Streams" || name == "_Storages" ||
         name == "_StringPool" || name == "_StringData";
}

std::string hex2(int flag) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "0x%02X", static_cast<unsigned>(flag));
  return buf;
}

std::vector<Column> persistentColumns(const Schema& schema) {
  std::vector<Column> out;
  for (const auto& c : schema.columns)
    if (!c.temporary) out.push_back(c);
  return out;
}

class Planner {
 public:
  Planner(Database& db, const TransformFile& file, int errors) : db_(db), file_(file), errors_(errors) {}

  ApplyPlan run() {
    planCatalogue(readCatalogueChanges(file_));
    for (const std::string& table : file_.tables())
      if (table != "_Tables" && table != "_Columns") planRows(table);
    planCodepage();
    return std::move(plan_);
  }

 private:
  struct Planned {
    std::vector<Column> columns;
    bool fresh = false;   // added by the transform: no rows in the database
    bool exists = true;   // false once dropped
    bool addSkipped = false;  // the transform adds it, but it exists and the flags skip the add
  };

  // Throws unless `flag` suppresses the error; returns so that the caller skips the record.
  void suppressOrThrow(int flag, const std::string& message) const {
    if (!(errors_ & flag)) throw Error(message + " (error condition " + hex2(flag) + " skips this)");
  }

  Planned* lookup(const std::string& name) {
    if (const auto it = state_.find(name); it != state_.end()) return it->second.exists ? &it->second : nullptr;
    if (!db_.isPersistent(name)) return nullptr;
    Planned p;
    p.columns = persistentColumns(db_.table(name).schema());
    return &state_.emplace(name, std::move(p)).first->second;
  }

  void planCatalogue(const CatalogueChanges& changes) {
    std::set<std::string> named;
    for (const TableEvent& e : changes.tables) {
      const std::string at = file_.name() + ": table `" + e.table + "`";
      if (isSystemTable(e.table)) throw Error(at + ": a system table cannot be added or dropped");
      if (!named.insert(e.table).second) throw Error(at + " is added or dropped twice");
      if (e.add) {
        if (db_.hasTable(e.table)) {
          suppressOrThrow(kErrorAddExistingTable, at + " is added but already exists");
          if (Planned* p = lookup(e.table)) p->addSkipped = true;
          continue;
        }
        Planned p;
        p.fresh = true;
        state_[e.table] = std::move(p);
        plan_.catalogue.push_back(CatalogueStep{CatalogueStep::Create, e.table, {}});
      } else {
        if (!db_.isPersistent(e.table)) {
          suppressOrThrow(kErrorDeleteMissingTable, at + " is dropped but does not exist");
          continue;
        }
        lookup(e.table);
        state_[e.table].exists = false;
        plan_.catalogue.push_back(CatalogueStep{CatalogueStep::Drop, e.table, {}});
      }
    }

    std::string autoTable;
    int autoNumber = 0;
    for (const ColumnEvent& e : changes.columns) {
      const std::string at = file_.name() + ": table `" + e.table + "`, column `" + e.column.name + "`";
      Planned* t = lookup(e.table);
      if (!t) throw Error(at + ": the table is neither in the database nor added by the transform");
      // Columns of a new table come without numbers, in order.
      if (e.table != autoTable) {
        autoTable = e.table;
        autoNumber = 0;
      }
      const std::size_t number = e.number ? static_cast<std::size_t>(*e.number) : static_cast<std::size_t>(++autoNumber);
      const std::size_t count = t->columns.size();
      if (number <= count) {
        const Column& existing = t->columns[number - 1];
        if (existing.name != e.column.name || existing.typeBits() != e.column.typeBits())
          throw Error(at + " (" + e.column.definition() + "): column " + std::to_string(number) + " is `" +
                      existing.name + "` (" + existing.definition() + ") already");
        if (!t->addSkipped) suppressOrThrow(kErrorAddExistingRow, at + " is added but already exists");
        continue;
      }
      if (number != count + 1)
        throw Error(at + ": column " + std::to_string(number) + " would leave a gap after " + std::to_string(count) +
                    " columns");
      if (!t->fresh) {
        if (e.column.key) throw Error(at + ": a key column cannot be added to an existing table");
        if (!e.column.nullable && db_.table(e.table).size() > 0)
          throw Error(at + ": only a nullable column can be added to a table that has rows");
        plan_.catalogue.push_back(CatalogueStep{CatalogueStep::AddColumn, e.table, {e.column}});
      }
      t->columns.push_back(e.column);
    }

    for (auto& step : plan_.catalogue) {
      if (step.kind != CatalogueStep::Create) continue;
      const Planned& p = state_.at(step.table);
      if (p.columns.empty()) throw Error(file_.name() + ": table `" + step.table + "` is added without columns");
      step.columns = p.columns;
    }
  }

  // The row with `key` as the records so far leave it (planned columns), if there is one.
  std::optional<Row> current(TablePlan& tp, Table* table, std::size_t dbColumns, const std::string& key,
                             const Row& keyRow) const {
    if (const auto it = tp.index.find(key); it != tp.index.end()) return tp.changes[it->second].row;
    if (!table) return std::nullopt;
    const auto i = table->find(keyRow);
    if (!i) return std::nullopt;
    Row row = table->row(*i);
    row.resize(dbColumns);
    row.resize(tp.columns.size());
    return row;
  }

  static void set(TablePlan& tp, const std::string& key, Row keyRow, std::optional<Row> row) {
    const auto [it, added] = tp.index.emplace(key, tp.changes.size());
    if (added) {
      tp.changes.push_back(RowChange{std::move(keyRow), std::move(row)});
    } else {
      tp.changes[it->second].row = std::move(row);
    }
  }

  static void checkNulls(const DecodedRecord& d, const std::vector<Column>& columns, const std::string& at) {
    for (std::size_t c = 0; c < columns.size(); ++c) {
      const bool given = d.kind == RawRecord::Insert || d.carried[c];
      if (given && !columns[c].nullable && d.values[c].isNull())
        throw Error(at + ": column `" + columns[c].name + "` cannot be null");
    }
  }

  void planRows(const std::string& name) {
    const std::string at = file_.name() + ": table `" + name + "`";
    Planned* t = lookup(name);
    if (!t) {
      const bool dropped = state_.count(name) > 0;
      throw Error(at + ": the transform changes rows of a table " +
                  (dropped ? std::string("it drops") : "the database does not have"));
    }
    TablePlan tp;
    tp.name = name;
    tp.columns = t->columns;
    const std::vector<std::size_t> keys = keyColumns(tp.columns);
    if (keys.empty()) throw Error(at + ": the table has no primary key");
    Table* table = t->fresh ? nullptr : &db_.table(name);
    const std::size_t dbColumns = table ? persistentColumns(table->schema()).size() : 0;

    const auto records = file_.records(name, tp.columns);
    for (std::size_t i = 0; i < records.size(); ++i) {
      const std::string where = at + ", record " + std::to_string(i + 1);
      const DecodedRecord d = decodeRecord(file_, name, tp.columns, records[i], where);
      Row keyRow;
      for (const std::size_t k : keys) keyRow.push_back(d.values[k]);
      const std::string key = rowKey(d.values, keys);
      const std::string row = where + ": row `" + keyText(d.values, keys) + "`";
      std::optional<Row> now = current(tp, table, dbColumns, key, keyRow);
      switch (d.kind) {
        case RawRecord::Insert:
          if (now) {
            suppressOrThrow(kErrorAddExistingRow, row + " is added but already exists");
            continue;
          }
          checkNulls(d, tp.columns, row);
          set(tp, key, std::move(keyRow), d.values);
          break;
        case RawRecord::Update:
          if (!now) {
            suppressOrThrow(kErrorUpdateMissingRow, row + " is updated but does not exist");
            continue;
          }
          checkNulls(d, tp.columns, row);
          for (std::size_t c = 0; c < tp.columns.size(); ++c)
            if (d.carried[c] && !tp.columns[c].key) (*now)[c] = d.values[c];
          set(tp, key, std::move(keyRow), std::move(now));
          break;
        case RawRecord::Delete:
          if (!now) {
            suppressOrThrow(kErrorDeleteMissingRow, row + " is deleted but does not exist");
            continue;
          }
          set(tp, key, std::move(keyRow), std::nullopt);
          break;
      }
    }
    plan_.tables.push_back(std::move(tp));
  }

  void planCodepage() {
    const int mine = file_.codepage();
    const int theirs = db_.codepage();
    if (mine == 0 || mine == theirs) return;
    if (theirs != 0)
      suppressOrThrow(kErrorChangeCodepage, file_.name() + ": the transform's codepage " + std::to_string(mine) +
                                                " differs from the database's " + std::to_string(theirs));
    plan_.codepage = mine;
  }

  Database& db_;
  const TransformFile& file_;
  int errors_;
  std::map<std::string, Planned> state_;
  ApplyPlan plan_;
};

}  // namespace

ApplyPlan planTransform(Database& db, const TransformFile& file, int errorConditions) {
  return Planner(db, file, errorConditions).run();
}

}  // namespace msi::mst
