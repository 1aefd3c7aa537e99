// Row differences of one table.
#include "engine/mst/table_diff.h"

#include <unordered_map>
#include <unordered_set>

#include "engine/db/stored_table.h"
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

  std::unordered_map<std::string, std::size_t> index;
  std::vector<bool> matched;
  if (reference) {
    index.reserve(reference->size());
    matched.assign(reference->size(), false);
    for (std::size_t j = 0; j < reference->size(); ++j)
      if (!temporaryRow(*reference, j)) index.emplace(rowKey(reference->row(j), keys), j);
  }

  std::unordered_set<std::string> seen;
  seen.reserve(changed.size());
  Row values(ncols);
  for (std::size_t i = 0; i < changed.size(); ++i) {
    if (temporaryRow(changed, i)) continue;
    const Row& row = changed.row(i);
    std::string key = rowKey(row, keys);
    const auto it = index.find(key);
    if (!seen.insert(std::move(key)).second) continue;  // a damaged table may repeat a key
    for (std::size_t c = 0; c < ncols; ++c) values[c] = cell(row, c, ncols);
    if (it == index.end()) {
      out.add(name, columns, insertMask, values);
      continue;
    }
    matched[it->second] = true;
    const Row& old = reference->row(it->second);
    std::uint32_t mask = 0;
    bool wide = false, differs = false;
    for (std::size_t c = 0; c < ncols; ++c) {
      if (columns[c].key || values[c] == cell(old, c, referenceColumns)) continue;
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
      out.add(name, columns, 0, values);
      out.add(name, columns, insertMask, values);
    } else {
      out.add(name, columns, static_cast<std::uint16_t>(mask), values);
    }
  }

  if (!reference) return;
  for (std::size_t j = 0; j < reference->size(); ++j) {
    if (matched[j] || temporaryRow(*reference, j)) continue;
    const Row& old = reference->row(j);
    if (index.at(rowKey(old, keys)) != j) continue;  // a repeated key was handled once
    for (std::size_t c = 0; c < ncols; ++c) values[c] = cell(old, c, referenceColumns);
    out.add(name, columns, 0, values);
  }
}

}  // namespace msi::mst
