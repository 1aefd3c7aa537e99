// Row differences of one table.
#include "engine/mst/table_diff.h"

#include <utility>

#include "engine/mst/row_key.h"

namespace msi::mst {
namespace {

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

  // Rows of both tables are in key order, and a changed database mostly keeps the order of
  // the one it came from, so each row is first looked for next to the last match; only the
  // others are looked up by key. Each row is read once, as a copy the tables do not keep.
  std::vector<bool> matched;
  if (reference) matched.assign(reference->size(), false);
  const auto lookup = [&](const Row& row) -> std::optional<std::size_t> {
    Row key;
    key.reserve(keys.size());
    for (const std::size_t k : keys) key.push_back(k < row.size() ? row[k] : Value());
    const auto j = reference->find(key);
    if (j && reference->isTemporaryRow(*j)) return std::nullopt;
    return j;
  };
  std::size_t cursor = 0;
  constexpr std::size_t kLookahead = 4;

  Row previous;
  bool hasPrevious = false;
  for (std::size_t i = 0; i < changed.size(); ++i) {
    if (changed.isTemporaryRow(i)) continue;
    Row row = changed.rowCopy(i);
    // Rows are kept in key order, so a key a damaged table repeats comes right after itself.
    if (hasPrevious && sameKey(previous, row, keys)) continue;
    std::optional<std::size_t> j;
    Row old;  // row j of the reference, once found
    if (reference) {
      for (std::size_t ahead = 0; ahead < kLookahead && cursor + ahead < reference->size(); ++ahead) {
        const std::size_t at = cursor + ahead;
        if (matched[at] || reference->isTemporaryRow(at)) continue;
        Row candidate = reference->rowCopy(at);
        if (sameKey(candidate, row, keys)) {
          j = at;
          old = std::move(candidate);
          break;
        }
      }
      if (!j) {
        j = lookup(row);
        if (j && !matched[*j]) old = reference->rowCopy(*j);
      }
      if (j && matched[*j]) j.reset();  // a repeated key was matched once
      if (j && *j >= cursor) cursor = *j + 1;
    }
    if (!j) {
      out.add(name, columns, insertMask, row);
    } else {
      matched[*j] = true;
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
      if (differs && wide) {
        // A 16-bit mask cannot name the column: replace the whole row.
        out.add(name, columns, 0, row);
        out.add(name, columns, insertMask, row);
      } else if (differs) {
        out.add(name, columns, static_cast<std::uint16_t>(mask), row);
      }
    }
    previous = std::move(row);
    hasPrevious = true;
  }

  if (!reference) return;
  // A key a damaged table repeats is deleted once, and not at all when it was matched. Only
  // the rows left unmatched (and the row before each) are read again.
  std::optional<std::size_t> previousOld;
  for (std::size_t j = 0; j < reference->size(); ++j) {
    if (reference->isTemporaryRow(j)) continue;
    const std::optional<std::size_t> before = std::exchange(previousOld, j);
    if (matched[j]) continue;
    Row gone = reference->rowCopy(j);
    if (before && sameKey(reference->rowCopy(*before), gone, keys)) continue;
    out.add(name, columns, 0, gone);
  }
}

}  // namespace msi::mst
