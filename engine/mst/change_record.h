// Change records: the content of a transform's table stream. Each record is a 16-bit mask and
// the stored cells it names, one record after another (not column by column as in tables):
//   mask (n << 8) | 1   insert: the first n columns
//   mask even, not 0     update: every key column plus each column i whose bit (1 << i) is set
//   mask 0               delete: the key columns
// Cells are stored as in a table stream: biased integers, string ids into the transform's own
// pool (2 or 3 bytes), 2-byte placeholders for binary cells.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "engine/db/value.h"

namespace msi::mst {

inline constexpr std::size_t kMaskColumns = 16;  // columns an update mask can name

struct RawRecord {
  enum Kind { Insert, Update, Delete };
  std::uint16_t mask = 0;
  // One entry per column of the table: the stored cell, or nullopt when the record does not
  // carry that column.
  std::vector<std::optional<std::uint32_t>> cells;

  Kind kind() const { return (mask & 1) ? Insert : (mask == 0 ? Delete : Update); }
  std::size_t insertCount() const { return mask >> 8; }

  static std::uint16_t insertMask(std::size_t columns) {
    return static_cast<std::uint16_t>((columns << 8) | 1);
  }
};

// Whether a record with `mask` carries column `i` of `columns`.
bool carries(std::uint16_t mask, const std::vector<Column>& columns, std::size_t i);

// Reads every record of a table stream. Throws Error("<where>: record N ...") for a record
// that runs past the end, an insert of more columns than the table has, or an update mask
// naming a column the table does not have.
std::vector<RawRecord> decodeRecords(const Bytes& stream, const std::vector<Column>& columns,
                                     bool longRefs, std::string_view where);

// Appends one record (its mask and the cells it carries, in column order).
void encodeRecord(Bytes& out, const RawRecord& record, const std::vector<Column>& columns,
                  bool longRefs);

}  // namespace msi::mst
