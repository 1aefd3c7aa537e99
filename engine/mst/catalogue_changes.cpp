// Reading the `_Tables` and `_Columns` records of a transform.
#include "engine/mst/catalogue_changes.h"

#include "engine/db/catalogue.h"
#include "engine/mst/record_values.h"

namespace msi::mst {
namespace {

constexpr std::uint16_t kTemporaryBit = 0x4000;

}  // namespace

CatalogueChanges readCatalogueChanges(const TransformFile& file) {
  CatalogueChanges out;
  const auto tablesColumns = catalogue::tablesSchema().columns;
  const auto tables = file.records("_Tables", tablesColumns);
  for (std::size_t i = 0; i < tables.size(); ++i) {
    const std::string where = file.name() + ": `_Tables` record " + std::to_string(i + 1);
    const DecodedRecord r = decodeRecord(file, "_Tables", tablesColumns, tables[i], where);
    if (r.kind == RawRecord::Update) throw Error(where + ": a table name cannot be updated");
    if (!r.values[0].isString()) throw Error(where + ": names no table");
    out.tables.push_back(TableEvent{r.kind == RawRecord::Insert, r.values[0].asString()});
  }

  const auto columnsColumns = catalogue::columnsSchema().columns;
  const auto columns = file.records("_Columns", columnsColumns);
  for (std::size_t i = 0; i < columns.size(); ++i) {
    const std::string where = file.name() + ": `_Columns` record " + std::to_string(i + 1);
    const DecodedRecord r = decodeRecord(file, "_Columns", columnsColumns, columns[i], where);
    const std::string table = r.values[0].isString() ? r.values[0].asString() : std::string();
    if (table.empty()) throw Error(where + ": names no table");
    const std::string what = where + " (table `" + table + "`" +
                             (r.values[1].isInt() ? ", column " + std::to_string(r.values[1].asInt()) : std::string()) +
                             ")";
    if (r.kind != RawRecord::Insert)
      throw Error(what + ": changing or removing a column definition is not supported");
    if (!r.carried[3] || !r.values[2].isString() || !r.values[3].isInt())
      throw Error(what + ": a column needs a name and a type");
    const std::int32_t bits = r.values[3].asInt();
    if (bits <= 0 || bits > 0xFFFF || (bits & kTemporaryBit))
      throw Error(what + ": type " + std::to_string(bits) + " is not that of a stored column");
    ColumnEvent e;
    e.table = table;
    if (r.values[1].isInt()) {
      if (r.values[1].asInt() < 1 || r.values[1].asInt() > 32)
        throw Error(what + ": column numbers run from 1 to 32");
      e.number = r.values[1].asInt();
    }
    try {
      e.column = Column::fromTypeBits(r.values[2].asString(), static_cast<std::uint16_t>(bits));
    } catch (const Error& err) {
      throw Error(what + ": " + err.what());
    }
    out.columns.push_back(std::move(e));
  }
  return out;
}

}  // namespace msi::mst
