// applyTransform: plan (every check, nothing changed), then carry the plan out with an undo
// log, so that the database is as it was whenever the call throws.
#include <functional>
#include <set>

#include "engine/mst/apply_plan.h"
#include "engine/mst/transform.h"

namespace msi::mst {
namespace {

class UndoLog {
 public:
  void push(std::function<void()> step) { steps_.push_back(std::move(step)); }
  // Best effort, newest first: a step that fails does not stop the others.
  void rollback() noexcept {
    for (auto it = steps_.rbegin(); it != steps_.rend(); ++it) {
      try {
        (*it)();
      } catch (...) {
      }
    }
    steps_.clear();
  }

 private:
  std::vector<std::function<void()>> steps_;
};

// A whole table, to put it back as it was.
struct TableSnapshot {
  Schema schema;
  std::vector<std::pair<Row, bool>> rows;  // row, temporary
};

TableSnapshot snapshot(Database& db, const std::string& name) {
  Table& t = db.table(name);
  TableSnapshot s{t.schema(), {}};
  s.rows.reserve(t.size());
  for (std::size_t i = 0; i < t.size(); ++i) s.rows.emplace_back(t.row(i), t.isTemporaryRow(i));
  return s;
}

void restore(Database& db, const TableSnapshot& s) {
  db.createTable(s.schema);
  Table& t = db.table(s.schema.name);
  for (const auto& [row, temporary] : s.rows) t.insert(row, temporary);
}

void runCatalogue(Database& db, const ApplyPlan& plan, UndoLog& undo) {
  std::set<std::string> saved;  // tables whose columns change, kept whole for the undo
  for (const CatalogueStep& step : plan.catalogue) {
    const std::string name = step.table;
    switch (step.kind) {
      case CatalogueStep::Create:
        db.createTable(Schema{name, step.columns, false});
        undo.push([&db, name] { db.dropTable(name); });
        break;
      case CatalogueStep::Drop: {
        auto s = std::make_shared<TableSnapshot>(snapshot(db, name));
        db.dropTable(name);
        undo.push([&db, s] { restore(db, *s); });
        break;
      }
      case CatalogueStep::AddColumn:
        // Columns cannot be removed again; the table is rebuilt as it was instead.
        if (saved.insert(name).second) {
          auto s = std::make_shared<TableSnapshot>(snapshot(db, name));
          undo.push([&db, s] {
            db.dropTable(s->schema.name);
            restore(db, *s);
          });
        }
        db.addColumn(name, step.columns.front());
        break;
    }
  }
}

void runRows(Database& db, const TablePlan& tp, UndoLog& undo) {
  Table& t = db.table(tp.name);
  const Schema schema = t.schema();
  // Where each column of the table comes from in the planned rows (none: temporary columns).
  std::vector<std::optional<std::size_t>> from(schema.columns.size());
  for (std::size_t c = 0; c < schema.columns.size(); ++c)
    for (std::size_t p = 0; p < tp.columns.size(); ++p)
      if (!schema.columns[c].temporary && tp.columns[p].name == schema.columns[c].name) from[c] = p;

  const std::string name = tp.name;
  for (const RowChange& change : tp.changes) {
    const auto at = t.find(change.key);
    if (!change.row) {
      if (!at) continue;
      Row old = t.row(*at);
      const bool temporary = t.isTemporaryRow(*at);
      t.erase(*at);
      undo.push([&db, name, old = std::move(old), temporary] { db.table(name).insert(old, temporary); });
      continue;
    }
    Row row(schema.columns.size());
    for (std::size_t c = 0; c < row.size(); ++c)
      if (from[c]) row[c] = (*change.row)[*from[c]];
    if (at) {
      Row old = t.row(*at);
      for (std::size_t c = 0; c < row.size(); ++c)
        if (!from[c]) row[c] = old[c];
      t.update(*at, std::move(row));
      undo.push([&db, name, key = change.key, old = std::move(old)] {
        Table& table = db.table(name);
        if (const auto i = table.find(key)) table.update(*i, old);
      });
    } else {
      t.insert(std::move(row));
      undo.push([&db, name, key = change.key] {
        Table& table = db.table(name);
        if (const auto i = table.find(key)) table.erase(*i);
      });
    }
  }
}

std::string hex(int v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%X", static_cast<unsigned>(v));
  return buf;
}

void checkConditions(const std::string& where, int errorConditions) {
  if (errorConditions & kErrorViewTransform)
    throw Error(where + ": view-transform mode (error condition 0x100) is not supported; "
                "`fennick-msi transform show` lists a transform's changes");
  if (errorConditions & ~kErrorConditionsMask)
    throw Error(where + ": error conditions " + hex(errorConditions) + " name bits other than 0x01..0x20");
}

void apply(Database& db, const TransformFile& file, int errorConditions) {
  const ApplyPlan plan = planTransform(db, file, errorConditions);

  UndoLog undo;
  try {
    runCatalogue(db, plan, undo);
    for (const TablePlan& tp : plan.tables) runRows(db, tp, undo);
    if (plan.codepage) {
      const int old = db.codepage();
      db.setCodepage(*plan.codepage);
      undo.push([&db, old] { db.setCodepage(old); });
    }
  } catch (const std::exception& e) {
    undo.rollback();
    throw Error(file.name() + ": cannot apply: " + e.what());
  }
}

}  // namespace

void applyTransform(Database& db, const std::filesystem::path& mst, int errorConditions) {
  checkConditions(mst.string(), errorConditions);
  apply(db, TransformFile::open(mst), errorConditions);
}

void applyTransform(Database& db, std::shared_ptr<const cfb::Reader> mst, int errorConditions) {
  if (!mst) throw Error("no transform to apply");
  checkConditions(mst->name(), errorConditions);
  apply(db, TransformFile::fromReader(std::move(mst)), errorConditions);
}

}  // namespace msi::mst
