// Table streams: a table's persistent cells stored column by column, integers biased, strings
// as pool ids, binary cells as a placeholder.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "engine/db/value.h"

namespace msi::table_stream {

// Bytes one cell of `column` takes in a stream: 2 or 4 for integers, 2 or 3 for strings
// (3 with long string references), 2 for binary placeholders.
unsigned cellWidth(const Column& column, bool longRefs);

// Stored form of an integer cell: value + 0x8000 (2 bytes) or value ^ 0x80000000 (4 bytes);
// 0 is null. Returns nullopt when the value does not fit (2-byte: -32767..32767; 4-byte: any
// but INT32_MIN, which would read back as null).
std::optional<std::uint32_t> storeInt(std::int32_t value, int width);
// Inverse of storeInt; nullopt for a stored 0 (null).
std::optional<std::int32_t> loadInt(std::uint32_t stored, int width);

struct Cells {
  std::size_t rows = 0;
  std::vector<std::uint32_t> values;  // row-major: rows x columns
  bool longRefs = false;              // the reference width the stream was read with
};

// Reads `stream` for `columns`. A stream that does not hold a whole number of rows throws
// Error("table `<table>`: ..."), except for the two leniencies the installer has: fewer than
// 4 stray bytes at the end, and 2-byte string references in a database flagged for 3.
Cells decode(const Bytes& stream, const std::vector<Column>& columns, bool longRefs,
             std::string_view table);
// Bytes one row takes in a stream.
std::size_t rowWidth(const std::vector<Column>& columns, bool longRefs);
// Writes row-major `values` (rows x columns.size()) column by column.
Bytes encode(const std::vector<std::uint32_t>& values, const std::vector<Column>& columns,
             bool longRefs);

}  // namespace msi::table_stream
