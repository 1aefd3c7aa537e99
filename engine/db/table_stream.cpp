// Table streams: column-major cell layout.
#include "engine/db/table_stream.h"

#include <string>

namespace msi::table_stream {
std::size_t rowWidth(const std::vector<Column>& columns, bool longRefs) {
  std::size_t w = 0;
  for (const auto& c : columns) w += cellWidth(c, longRefs);
  return w;
}

unsigned cellWidth(const Column& column, bool longRefs) {
  switch (column.type) {
    case ColumnType::Binary: return 2;
    case ColumnType::String: return longRefs ? 3 : 2;
    case ColumnType::Integer: return column.width == 4 ? 4 : 2;
  }
  return 2;
}

std::optional<std::uint32_t> storeInt(std::int32_t value, int width) {
  if (width == 4) {
    if (value == INT32_MIN) return std::nullopt;
    return static_cast<std::uint32_t>(value) ^ 0x80000000u;
  }
  if (value < -32767 || value > 32767) return std::nullopt;
  return static_cast<std::uint32_t>(value + 0x8000);
}

std::optional<std::int32_t> loadInt(std::uint32_t stored, int width) {
  if (stored == 0) return std::nullopt;
  if (width == 4) return static_cast<std::int32_t>(stored ^ 0x80000000u);
  return static_cast<std::int32_t>(stored) - 0x8000;
}

Cells decode(const Bytes& stream, const std::vector<Column>& columns, bool longRefs,
             std::string_view table) {
  Cells out;
  if (columns.empty() || stream.empty()) {
    out.longRefs = longRefs;
    return out;
  }
  std::size_t width = rowWidth(columns, longRefs);
  std::size_t size = stream.size();
  if (size % width != 0 && longRefs && size % rowWidth(columns, false) == 0) {
    // Written with 2-byte references although the pool asks for 3 (seen after transforms).
    longRefs = false;
    width = rowWidth(columns, false);
  }
  if (size % width != 0) {
    if (size % width >= 4)
      throw Error("table `" + std::string(table) + "`: stream of " + std::to_string(size) +
                  " bytes does not hold whole rows of " + std::to_string(width) + " bytes");
    size -= size % width;
  }
  out.longRefs = longRefs;
  out.rows = size / width;
  const std::size_t ncols = columns.size();
  out.values.assign(out.rows * ncols, 0);
  std::size_t base = 0;  // start of the current column's block
  for (std::size_t c = 0; c < ncols; ++c) {
    const unsigned w = cellWidth(columns[c], longRefs);
    for (std::size_t r = 0; r < out.rows; ++r) {
      const std::uint8_t* p = stream.data() + base + r * w;
      std::uint32_t v = 0;
      for (unsigned k = 0; k < w; ++k) v |= std::uint32_t(p[k]) << (8 * k);
      out.values[r * ncols + c] = v;
    }
    base += out.rows * w;
  }
  return out;
}

Bytes encode(const std::vector<std::uint32_t>& values, const std::vector<Column>& columns,
             bool longRefs) {
  const std::size_t ncols = columns.size();
  const std::size_t rows = ncols ? values.size() / ncols : 0;
  Bytes out(rows * rowWidth(columns, longRefs));
  std::size_t base = 0;
  for (std::size_t c = 0; c < ncols; ++c) {
    const unsigned w = cellWidth(columns[c], longRefs);
    for (std::size_t r = 0; r < rows; ++r) {
      const std::uint32_t v = values[r * ncols + c];
      std::uint8_t* p = out.data() + base + r * w;
      for (unsigned k = 0; k < w; ++k) p[k] = static_cast<std::uint8_t>(v >> (8 * k));
    }
    base += rows * w;
  }
  return out;
}

}  // namespace msi::table_stream
