// The first half of applying a transform: every record is decoded and checked against the
// database and the error conditions, and the net effect is collected, without changing the
// database. Only a plan that holds together is carried out (apply.cpp).
#pragma once

#include <map>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/db/database.h"
#include "engine/mst/transform_file.h"

namespace msi::mst {

struct RowChange {
  Row key;                 // the key cells, in key-column order
  std::optional<Row> row;  // the row afterwards (planned columns); none: deleted
};

struct TablePlan {
  std::string name;
  std::vector<Column> columns;     // persistent columns once the schema changes are made
  std::vector<RowChange> changes;  // one per row touched, in the order first touched
  std::unordered_map<std::string, std::size_t> index;  // row key -> position in `changes`
};

struct CatalogueStep {
  enum Kind { Create, Drop, AddColumn };
  Kind kind = Create;
  std::string table;
  std::vector<Column> columns;  // Create: every column; AddColumn: the one appended
};

struct ApplyPlan {
  std::vector<CatalogueStep> catalogue;  // in transform order
  std::vector<TablePlan> tables;
  std::optional<int> codepage;           // the database's new codepage
};

// Throws Error naming the transform, the table and the record for anything that cannot be
// applied and is not suppressed by `errorConditions`.
ApplyPlan planTransform(Database& db, const TransformFile& file, int errorConditions);

}  // namespace msi::mst
