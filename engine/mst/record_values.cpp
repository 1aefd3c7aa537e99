// Stored cells of a change record -> values.
#include "engine/mst/record_values.h"

#include <string>

#include "engine/db/table_stream.h"
#include "engine/mst/row_key.h"

namespace msi::mst {

DecodedRecord decodeRecord(const TransformFile& file, std::string_view table,
                           const std::vector<Column>& columns, const RawRecord& raw,
                           std::string_view where) {
  DecodedRecord d;
  d.kind = raw.kind();
  d.mask = raw.mask;
  d.values.assign(columns.size(), Value());
  d.carried.assign(columns.size(), false);
  bool anyBinary = false;
  for (std::size_t c = 0; c < columns.size() && c < raw.cells.size(); ++c) {
    if (!raw.cells[c]) continue;
    d.carried[c] = true;
    const std::uint32_t v = *raw.cells[c];
    const Column& col = columns[c];
    switch (col.type) {
      case ColumnType::Integer:
        if (const auto i = table_stream::loadInt(v, col.width)) d.values[c] = Value(*i);
        break;
      case ColumnType::String:
        if (v != 0)
          d.values[c] = Value(file.string(v, std::string(where) + ", column `" + col.name + "`"));
        break;
      case ColumnType::Binary:
        anyBinary = anyBinary || v != 0;
        break;
    }
  }
  if (anyBinary) {
    // The key cells are decoded by now; they name the stream.
    const std::string stream = std::string(table) + "." + keyText(d.values, keyColumns(columns));
    for (std::size_t c = 0; c < columns.size() && c < raw.cells.size(); ++c) {
      if (columns[c].type != ColumnType::Binary || !raw.cells[c] || *raw.cells[c] == 0) continue;
      auto bytes = file.binaryStream(stream);
      if (!bytes)
        throw Error(std::string(where) + ", column `" + columns[c].name + "`: the transform has no stream `" +
                    stream + "` for this binary cell");
      d.values[c] = Value(Blob(std::move(*bytes)));
    }
  }
  return d;
}

}  // namespace msi::mst
