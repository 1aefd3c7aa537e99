// A hash index of a table's rows by their key cells, for matching the rows of two tables.
// It stores row positions only (no copies of keys), so building it allocates one array.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "engine/db/database.h"

namespace msi::mst {

// Hash of the key cells of `row` (columns `keys`); equal keys give equal hashes.
std::uint64_t keyHash(const Row& row, const std::vector<std::size_t>& keys);
// Whether two rows have equal key cells.
bool sameKey(const Row& a, const Row& b, const std::vector<std::size_t>& keys);

class KeyIndex {
 public:
  // Indexes the rows of `table` for which `include(i)` is true; of rows with equal keys (only
  // in damaged tables) the first is kept.
  template <typename Include>
  KeyIndex(const Table& table, const std::vector<std::size_t>& keys, Include include) : table_(table), keys_(keys) {
    std::size_t capacity = 16;
    while (capacity < table.size() * 2) capacity *= 2;
    slots_.assign(capacity, 0);
    for (std::size_t i = 0; i < table.size(); ++i)
      if (include(i)) add(i);
  }

  // Position of the indexed row whose key cells equal those of `row`.
  std::optional<std::size_t> find(const Row& row) const;

 private:
  void add(std::size_t i);

  const Table& table_;
  std::vector<std::size_t> keys_;
  std::vector<std::uint32_t> slots_;  // row position + 1; 0 is empty
};

}  // namespace msi::mst
