// Stream-name compression: how table and binary-cell stream names are stored in the
// compound file, so that up to 62 name characters fit in its 31-unit limit.
#pragma once

#include <string>
#include <string_view>

namespace msi::stream_name {

// Longest stored name the compound file accepts, in UTF-16 units.
constexpr std::size_t kMaxStoredLength = 31;
// First unit of every table stream's stored name.
constexpr char16_t kTablePrefix = 0x4840;

// The stored form of `name` (UTF-8); table streams carry the table prefix. Names that start
// with U+0005 (property sets such as summary information) are stored uncompressed.
std::u16string encode(std::string_view name, bool table);

struct Decoded {
  std::string name;  // UTF-8
  bool table = false;
};
Decoded decode(std::u16string_view stored);

}  // namespace msi::stream_name
