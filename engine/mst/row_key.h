// Primary keys of rows, as hashable strings (to match rows of two databases or of a database
// and a transform) and as text (stream names of binary cells, listings).
#pragma once

#include <string>
#include <vector>

#include "engine/db/value.h"

namespace msi::mst {

// Positions of the key columns of `columns`.
std::vector<std::size_t> keyColumns(const std::vector<Column>& columns);

// An exact, unambiguous encoding of the key cells of `row` (values of other kinds and nulls
// are kept apart from text), for hashing.
std::string rowKey(const Row& row, const std::vector<std::size_t>& keys);

// Whether two rows have equal key cells (binary cells are never compared: they are not keys).
bool sameKey(const Row& a, const Row& b, const std::vector<std::size_t>& keys);

// The key cells as text joined with '.', the way binary-cell streams are named
// ("Binary.NewBinary", "Table.1.two").
std::string keyText(const Row& row, const std::vector<std::size_t>& keys);

}  // namespace msi::mst
