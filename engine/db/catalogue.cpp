// Catalogue tables: reading and checking table definitions, writing them back.
#include "engine/db/catalogue.h"

#include <algorithm>
#include <map>
#include <set>
#include <tuple>

#include "engine/db/table_stream.h"

namespace msi::catalogue {
namespace {

constexpr std::size_t kMaxColumns = 32;

Column column(const char* name, const char* def, bool key) {
  Column c = Column::fromDefinition(name, def);
  c.key = key;
  return c;
}

struct ColumnRow {
  std::uint32_t number = 0;
  std::uint32_t nameId = 0;
  std::uint32_t type = 0;
};

std::string checkedString(const StringPool& pool, std::uint32_t id, const std::string& where,
                          const char* table, std::size_t row) {
  if (!pool.has(id))
    throw Error(where + ": " + table + " row " + std::to_string(row + 1) + " names string id " +
                std::to_string(id) + ", which is not in the string pool");
  return std::string(pool.at(id));
}

}  // namespace

Schema tablesSchema() { return Schema{"_Tables", {column("Name", "s64", true)}, false}; }

Schema columnsSchema() {
  return Schema{"_Columns",
                {column("Table", "s64", true), column("Number", "i2", true), column("Name", "s64", false),
                 column("Type", "i2", false)},
                false};
}

std::vector<Entry> read(const Bytes& tables, const Bytes& columns, const StringPool& pool,
                        bool longRefs, const std::string& where) {
  const Schema ts = tablesSchema();
  const Schema cs = columnsSchema();
  const auto tcells = table_stream::decode(tables, ts.columns, longRefs, "_Tables");
  const auto ccells = table_stream::decode(columns, cs.columns, longRefs, "_Columns");

  std::map<std::string, std::vector<ColumnRow>> byTable;
  for (std::size_t r = 0; r < ccells.rows; ++r) {
    const std::uint32_t* v = &ccells.values[r * 4];
    if (v[0] == 0) continue;  // a column of no table describes nothing
    const std::string table = checkedString(pool, v[0], where, "_Columns", r);
    const std::int32_t number = table_stream::loadInt(v[1], 2).value_or(0);
    byTable[table].push_back({number < 0 ? 0u : static_cast<std::uint32_t>(number), v[2], v[3]});
  }

  std::vector<std::pair<std::uint32_t, std::size_t>> order;  // stored key, row
  for (std::size_t r = 0; r < tcells.rows; ++r) order.emplace_back(tcells.values[r], r);
  std::stable_sort(order.begin(), order.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });

  std::vector<Entry> out;
  std::set<std::string> seen;
  for (const auto& [id, r] : order) {
    if (id == 0) continue;
    std::string name = checkedString(pool, id, where, "_Tables", r);
    if (name == "_Tables" || name == "_Columns" || name == "_Streams" || name == "_Storages") continue;
    if (!seen.insert(name).second) continue;
    Entry e;
    e.schema.name = name;
    auto& rows = byTable[name];
    std::sort(rows.begin(), rows.end(), [](const ColumnRow& a, const ColumnRow& b) { return a.number < b.number; });
    try {
      if (rows.empty()) throw Error("no columns are defined");
      if (rows.size() > kMaxColumns)
        throw Error(std::to_string(rows.size()) + " columns, at most " + std::to_string(kMaxColumns) + " allowed");
      std::set<std::string> names;
      for (std::size_t i = 0; i < rows.size(); ++i) {
        if (rows[i].number != i + 1)
          throw Error("column numbers are not 1.." + std::to_string(rows.size()) + " (found " +
                      std::to_string(rows[i].number) + " at position " + std::to_string(i + 1) + ")");
        if (!pool.has(rows[i].nameId))
          throw Error("column " + std::to_string(i + 1) + " has no name in the string pool");
        const std::string cname(pool.at(rows[i].nameId));
        if (!names.insert(cname).second) throw Error("column `" + cname + "` is defined twice");
        const auto bits = table_stream::loadInt(rows[i].type, 2);
        if (!bits) throw Error("column `" + cname + "` has no type");
        Column c = Column::fromTypeBits(cname, static_cast<std::uint16_t>(*bits));
        c.temporary = false;  // nothing stored is temporary
        e.schema.columns.push_back(std::move(c));
      }
    } catch (const Error& err) {
      e.schema.columns.clear();
      e.error = err.what();
    }
    out.push_back(std::move(e));
  }
  return out;
}

Streams encode(const std::vector<const Schema*>& schemas, const StringPool& pool, bool longRefs) {
  std::vector<std::uint32_t> tableIds;
  std::vector<std::tuple<std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t>> columnRows;
  for (const Schema* s : schemas) {
    const std::uint32_t tid = pool.find(s->name);
    tableIds.push_back(tid);
    std::uint32_t number = 0;
    for (const auto& c : s->columns) {
      if (c.temporary) break;
      ++number;
      columnRows.emplace_back(tid, *table_stream::storeInt(static_cast<std::int32_t>(number), 2),
                              pool.find(c.name), *table_stream::storeInt(static_cast<std::int16_t>(c.typeBits()), 2));
    }
  }
  std::sort(tableIds.begin(), tableIds.end());
  std::sort(columnRows.begin(), columnRows.end());
  std::vector<std::uint32_t> cvalues;
  cvalues.reserve(columnRows.size() * 4);
  for (const auto& [t, n, name, type] : columnRows) cvalues.insert(cvalues.end(), {t, n, name, type});
  return {table_stream::encode(tableIds, tablesSchema().columns, longRefs),
          table_stream::encode(cvalues, columnsSchema().columns, longRefs)};
}

void countStrings(const std::vector<const Schema*>& schemas, const StringPool& pool,
                  std::vector<std::uint32_t>& counts) {
  const auto bump = [&](std::uint32_t id) {
    if (id >= counts.size()) counts.resize(id + 1, 0);
    ++counts[id];
  };
  for (const Schema* s : schemas) {
    const std::uint32_t tid = pool.find(s->name);
    bump(tid);
    for (const auto& c : s->columns) {
      if (c.temporary) break;
      bump(tid);
      bump(pool.find(c.name));
    }
  }
}

}  // namespace msi::catalogue
