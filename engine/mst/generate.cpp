// generateTransform: the schema changes (new tables, appended columns, dropped tables), then
// the row changes of every table, into one transform file.
#include <string>
#include <vector>

#include "engine/db/catalogue.h"
#include "engine/mst/table_diff.h"
#include "engine/mst/transform.h"
#include "engine/mst/transform_builder.h"

namespace msi::mst {
namespace {

std::vector<Column> persistentColumns(const Schema& schema) {
  std::vector<Column> out;
  for (const auto& c : schema.columns)
    if (!c.temporary) out.push_back(c);
  return out;
}

std::vector<std::string> persistentTables(Database& db) {
  std::vector<std::string> out;
  for (auto& name : db.tableNames())
    if (db.isPersistent(name)) out.push_back(std::move(name));
  return out;
}

// How many leading columns of `changed` the reference has; throws when the reference's
// columns are not exactly the leading columns of the changed table.
std::size_t sharedColumns(const std::string& table, const std::vector<Column>& changed,
                          const std::vector<Column>& reference) {
  const std::string at = "table `" + table + "`: ";
  if (reference.size() > changed.size())
    throw Error(at + "column `" + reference[changed.size()].name +
                "` was removed; a transform can only add columns at the end");
  for (std::size_t i = 0; i < reference.size(); ++i) {
    const Column& r = reference[i];
    const Column& c = changed[i];
    if (r.name != c.name)
      throw Error(at + "column " + std::to_string(i + 1) + " is `" + r.name + "` in the reference and `" +
                  c.name + "` in the changed database; a transform can only add columns at the end");
    if (r.typeBits() != c.typeBits())
      throw Error(at + "column `" + r.name + "` changed from " + r.definition() + (r.key ? " key" : "") +
                  " to " + c.definition() + (c.key ? " key" : "") + "; a transform cannot redefine columns");
  }
  for (std::size_t i = reference.size(); i < changed.size(); ++i)
    if (changed[i].key)
      throw Error(at + "key column `" + changed[i].name + "` was added; a transform cannot add keys");
  return reference.size();
}

Row columnRecord(const std::string& table, std::optional<std::int32_t> number, const Column& c) {
  return Row{Value(table), number ? Value(*number) : Value(), Value(c.name),
             Value(static_cast<std::int32_t>(c.typeBits()))};
}

}  // namespace

bool generateTransform(Database& changed, Database& reference, const std::filesystem::path& out,
                       cfb::FileSystem& files) {
  const std::vector<Column> tablesColumns = catalogue::tablesSchema().columns;
  const std::vector<Column> columnsColumns = catalogue::columnsSchema().columns;
  TransformBuilder builder(changed.codepage());

  // One table at a time: a table this comparison had to read is let go of once compared.
  for (const std::string& name : persistentTables(changed)) {
    const bool changedWasLoaded = changed.isLoaded(name);
    const bool referenceWasLoaded = reference.isLoaded(name);
    struct Release {
      Database& db;
      const std::string& name;
      bool keep;
      ~Release() {
        if (!keep) db.release(name);
      }
    } releaseChanged{changed, name, changedWasLoaded}, releaseReference{reference, name, referenceWasLoaded};
    const Table& table = changed.table(name);
    const std::vector<Column> columns = persistentColumns(table.schema());
    if (!reference.isPersistent(name)) {
      builder.add("_Tables", tablesColumns, RawRecord::insertMask(1), Row{Value(name)});
      // Columns of a new table carry no number: appliers count them in record order.
      for (const Column& c : columns)
        builder.add("_Columns", columnsColumns, RawRecord::insertMask(4), columnRecord(name, std::nullopt, c));
      diffTable(table, nullptr, columns, 0, builder);
      continue;
    }
    const Table& old = reference.table(name);
    const std::size_t shared = sharedColumns(name, columns, persistentColumns(old.schema()));
    for (std::size_t i = shared; i < columns.size(); ++i)
      builder.add("_Columns", columnsColumns, RawRecord::insertMask(4),
                  columnRecord(name, static_cast<std::int32_t>(i + 1), columns[i]));
    diffTable(table, &old, columns, shared, builder);
  }
  for (const std::string& name : persistentTables(reference))
    if (!changed.isPersistent(name)) builder.add("_Tables", tablesColumns, 0, Row{Value(name)});

  // The pool carries the changed database's codepage; a neutral one changes nothing.
  const bool codepageChange = changed.codepage() != reference.codepage() && changed.codepage() != 0;
  if (builder.recordCount() == 0 && !codepageChange) return false;
  builder.write(out, files);
  return true;
}

}  // namespace msi::mst
