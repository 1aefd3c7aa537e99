// Row differences of one table.
#include "engine/mst/table_diff.h"

#include "engine/db/stored_table.h"
#include "engine/mst/key_index.h"
#include "engine/mst/row_key.h"

namespace msi::mst {
namespace {

// Rows a table holds only in memory are not part of the database a transform describes.
bool temporaryRow(const Table& t, std::size_t i) {
  const auto* stored = dynamic_cast<const StoredTable*>(&t);
  return stored && stored->isTemporaryRow(i);
}

const Value& cell(const Row& row, std::size_t c, std::size_t available) {
  static const Value null;
  return c < available && c < row.size() ? row[c] : null;
}

}  // namespace

void diffTable(const Table& changed, const Table* reference, const std::vector<Column>& columns,
               std::size_t referenceColumns, TransformBuilder& out) {
  const std::string& name = changed.schema().name;
  const std::vector<std::size_t> keys = keyColumns(columns);
  if (keys.empty()) throw Error("table `" + name + "` has no primary key; a transform cannot address its rows");
  const std::size_t ncols = columns.size();
  const std::uint16_t insertMask = RawRecord::insertMask(ncols);

  std::optional<KeyIndex> index;
  std::vector<bool> matched;
  if (reference) {
    index.emplace(*reference, keys, [&](std::size_t j) { return !temporaryRow(*reference, j); });
    matched.assign(reference->size(), false);
  }

  const Row* previous = nullptr;
  for (std::size_t i = 0; i < changed.size(); ++i) {
    if (temporaryRow(changed, i)) continue;
    const Row& row = changed.row(i);
    // Rows are kept in key order, so a key a damaged table repeats comes right after itself.
    if (previous && sameKey(*previous, row, keys)) continue;
    previous = &row;
    const auto j = index ? index->find(row) : std::nullopt;
    if (!j) {
      out.add(name, columns, insertMask, row);
      continue;
    }
    matched[*j] = true;
    const Row& old = reference->row(*j);
    std::uint32_t mask = 0;
    bool wide = false, differs = false;
    for (std::size_t c = 0; c < ncols; ++c) {
      if (columns[c].key || cell(row, c, ncols) == cell(old, c, referenceColumns)) continue;
      differs = true;
      if (c < kMaskColumns) {
        mask |= 1u << c;
      } else {
        wide = true;
      }
    }
    if (!differs) continue;
    if (wide) {
      // A 16-bit mask cannot name the column: replace the whole row.
      out.add(name, columns, 0, row);
      out.add(name, columns, insertMask, row);
    } else {
      out.add(name, columns, static_cast<std::uint16_t>(mask), row);
    }
  }

  if (!reference) return;
  for (std::size_t j = 0; j < reference->size(); ++j) {
    if (matched[j] || temporaryRow(*reference, j)) continue;
    const Row& old = reference->row(j);
    if (index->find(old) != j) continue;  // a repeated key was handled once
    out.add(name, columns, 0, old);
  }
}

}  // namespace msi::mst
