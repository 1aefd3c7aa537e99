// The catalogue: `_Tables` (which tables exist, in stored order) and `_Columns` (their
// column definitions), whose own layouts are fixed.
#pragma once

#include <string>
#include <vector>

#include "engine/db/string_pool.h"
#include "engine/db/value.h"

namespace msi::catalogue {

Schema tablesSchema();   // _Tables: Name
Schema columnsSchema();  // _Columns: Table, Number, Name, Type

struct Entry {
  Schema schema;      // name always set; columns valid when `error` is empty
  std::string error;  // why the definition is unusable ("column 3 is missing")
};

// Reads both streams. A broken definition of one table is kept in its entry's `error`; a
// catalogue that cannot be read at all throws Error("<where>: ...").
std::vector<Entry> read(const Bytes& tables, const Bytes& columns, const StringPool& pool,
                        bool longRefs, const std::string& where);

struct Streams {
  Bytes tables;
  Bytes columns;
};
// Encodes the persistent tables and columns; every name must be in `pool`.
Streams encode(const std::vector<const Schema*>& schemas, const StringPool& pool, bool longRefs);

// Adds the catalogue's references to table and column names to `counts` (indexed by id).
void countStrings(const std::vector<const Schema*>& schemas, const StringPool& pool,
                  std::vector<std::uint32_t>& counts);

}  // namespace msi::catalogue
