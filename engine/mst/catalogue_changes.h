// The schema part of a transform: its `_Tables` records (tables added or dropped) and its
// `_Columns` records (columns of added tables, columns appended to existing ones).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "engine/db/value.h"
#include "engine/mst/transform_file.h"

namespace msi::mst {

struct TableEvent {
  bool add = true;  // false: the table is dropped
  std::string table;
};

struct ColumnEvent {
  std::string table;
  std::optional<int> number;  // 1-based; none for the columns of a new table (record order counts)
  Column column;
};

struct CatalogueChanges {
  std::vector<TableEvent> tables;
  std::vector<ColumnEvent> columns;
};

// Reads both record streams. Throws Error naming the transform and the record for records
// that change or remove a column definition, name no table, or carry an unusable type.
CatalogueChanges readCatalogueChanges(const TransformFile& file);

}  // namespace msi::mst
