// Change records: sizes from the mask and the column layout, reading and writing.
#include "engine/mst/change_record.h"

#include <cstdio>
#include <string>

#include "engine/db/table_stream.h"

namespace msi::mst {
namespace {

std::string hex4(std::uint16_t v) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "%04X", v);
  return buf;
}

}  // namespace

bool carries(std::uint16_t mask, const std::vector<Column>& columns, std::size_t i) {
  if (mask & 1) return i < static_cast<std::size_t>(mask >> 8);
  // Key columns are always present; other columns only when their bit is set.
  return columns[i].key || (i < kMaskColumns && (mask & (1u << i)));
}

std::vector<RawRecord> decodeRecords(const Bytes& stream, const std::vector<Column>& columns,
                                     bool longRefs, std::string_view where) {
  std::vector<RawRecord> out;
  const std::size_t ncols = columns.size();
  std::size_t pos = 0;
  const auto fail = [&](const std::string& why) {
    return Error(std::string(where) + ": record " + std::to_string(out.size() + 1) + " (byte " +
                 std::to_string(pos) + "): " + why);
  };
  while (pos < stream.size()) {
    if (stream.size() - pos < 2) throw fail("a lone byte where a record mask should start");
    RawRecord r;
    r.mask = static_cast<std::uint16_t>(stream[pos] | (stream[pos + 1] << 8));
    if (r.kind() == RawRecord::Insert) {
      if (r.insertCount() == 0) throw fail("insert record with no columns");
      if (r.insertCount() > ncols)
        throw fail("insert of " + std::to_string(r.insertCount()) + " columns, the table has " +
                   std::to_string(ncols));
    } else if (r.kind() == RawRecord::Update) {
      const std::uint32_t usable = ncols >= kMaskColumns ? 0xFFFFu : ((1u << ncols) - 1);
      if (r.mask & ~usable)
        throw fail("update mask 0x" + hex4(r.mask) + " names columns past the table's " +
                   std::to_string(ncols));
    }
    std::size_t size = 2;
    for (std::size_t c = 0; c < ncols; ++c)
      if (carries(r.mask, columns, c)) size += table_stream::cellWidth(columns[c], longRefs);
    if (size > stream.size() - pos)
      throw fail("needs " + std::to_string(size) + " bytes, the stream has " +
                 std::to_string(stream.size() - pos) + " left");
    std::size_t at = pos + 2;
    r.cells.assign(ncols, std::nullopt);
    for (std::size_t c = 0; c < ncols; ++c) {
      if (!carries(r.mask, columns, c)) continue;
      const unsigned w = table_stream::cellWidth(columns[c], longRefs);
      std::uint32_t v = 0;
      for (unsigned k = 0; k < w; ++k) v |= std::uint32_t(stream[at + k]) << (8 * k);
      r.cells[c] = v;
      at += w;
    }
    pos += size;
    out.push_back(std::move(r));
  }
  return out;
}

void encodeRecord(Bytes& out, const RawRecord& record, const std::vector<Column>& columns,
                  bool longRefs) {
  out.push_back(static_cast<std::uint8_t>(record.mask & 0xFF));
  out.push_back(static_cast<std::uint8_t>(record.mask >> 8));
  for (std::size_t c = 0; c < columns.size(); ++c) {
    if (!carries(record.mask, columns, c)) continue;
    const unsigned w = table_stream::cellWidth(columns[c], longRefs);
    const std::uint32_t v = c < record.cells.size() ? record.cells[c].value_or(0) : 0;
    for (unsigned k = 0; k < w; ++k) out.push_back(static_cast<std::uint8_t>(v >> (8 * k)));
  }
}

}  // namespace msi::mst
