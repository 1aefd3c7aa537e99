// The row changes of one table between two databases, as change records: rows inserted or
// changed, in the order of the changed table, then rows deleted, in the reference's order.
// One pass over each table with a hash index of the reference's keys, so the cost grows with
// the rows, not with their square.
#pragma once

#include <vector>

#include "engine/db/database.h"
#include "engine/mst/transform_builder.h"

namespace msi::mst {

// `columns` are the persistent columns of `changed`; the reference's persistent columns are
// their first `referenceColumns` (the others were appended, null in the reference). A null
// `reference` means the table is new: every row is inserted.
void diffTable(const Table& changed, const Table* reference, const std::vector<Column>& columns,
               std::size_t referenceColumns, TransformBuilder& out);

}  // namespace msi::mst
