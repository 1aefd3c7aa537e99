// Column definitions: the type bits stored in `_Columns` and the letter form of .idt files.

#include "engine/db/value.h"
#include "engine/text/quoting.h"
#include "engine/text/integers.h"

namespace msi {
using text::backticked;
namespace {

constexpr std::uint16_t kWidthMask = 0x00FF;
constexpr std::uint16_t kValid = 0x0100;  // set on every column a writer stores
constexpr std::uint16_t kLocalizable = 0x0200;
constexpr std::uint16_t kNotBinary = 0x0400;  // strings and 2-byte integers carry it
constexpr std::uint16_t kString = 0x0800;
constexpr std::uint16_t kNullable = 0x1000;
constexpr std::uint16_t kKey = 0x2000;
constexpr std::uint16_t kTemporary = 0x4000;


}  // namespace

std::uint16_t Column::typeBits() const {
  std::uint16_t bits = kValid;
  switch (type) {
    case ColumnType::Binary:
      bits |= kString;
      break;
    case ColumnType::String:
      bits |= kString | kNotBinary | static_cast<std::uint16_t>(width & kWidthMask);
      if (localizable) bits |= kLocalizable;
      break;
    case ColumnType::Integer:
      bits |= width == 4 ? 4 : (kNotBinary | 2);
      break;
  }
  if (nullable) bits |= kNullable;
  if (key) bits |= kKey;
  if (temporary) bits |= kTemporary;
  return bits;
}

Column Column::fromTypeBits(std::string name, std::uint16_t bits) {
  Column c;
  c.nullable = bits & kNullable;
  c.key = bits & kKey;
  c.temporary = bits & kTemporary;
  // A binary column is exactly "string + valid" apart from nullability.
  if ((bits & ~(kNullable | kTemporary)) == (kString | kValid)) {
    c.type = ColumnType::Binary;
    c.width = 0;
  } else if (bits & kString) {
    c.type = ColumnType::String;
    c.width = bits & kWidthMask;
    c.localizable = bits & kLocalizable;
  } else {
    c.type = ColumnType::Integer;
    const int w = bits & kWidthMask;
    // Widths 0 and 1 occur in the wild and are stored in two bytes.
    if (w <= 2) {
      c.width = 2;
    } else if (w == 4) {
      c.width = 4;
    } else {
      throw Error("column " + backticked(name) + ": integer width " + std::to_string(w) +
                  " is neither 2 nor 4 (type bits " + std::to_string(bits) + ")");
    }
  }
  c.name = std::move(name);
  return c;
}

std::string Column::definition() const {
  char letter = 's';
  if (type == ColumnType::Binary) {
    letter = 'v';
  } else if (type == ColumnType::String) {
    letter = localizable ? 'l' : (temporary ? 'g' : 's');
  } else {
    letter = temporary ? 'j' : 'i';
  }
  if (nullable) letter = static_cast<char>(letter - 'a' + 'A');
  const int w = type == ColumnType::Binary ? 0 : width;
  return std::string(1, letter) + std::to_string(w);
}

Column Column::fromDefinition(std::string name, std::string_view def) {
  const auto fail = [&](std::string_view why) {
    return Error("column " + backticked(name) + ": bad definition `" + std::string(def) + "`: " +
                 std::string(why));
  };
  if (def.size() < 2) throw fail("expected a letter and a width");
  Column c;
  const char letter = def[0];
  c.nullable = letter >= 'A' && letter <= 'Z';
  switch (letter | 0x20) {
    case 's': c.type = ColumnType::String; break;
    case 'l': c.type = ColumnType::String; c.localizable = true; break;
    case 'g': c.type = ColumnType::String; c.temporary = true; break;
    case 'i': c.type = ColumnType::Integer; break;
    case 'j': c.type = ColumnType::Integer; c.temporary = true; break;
    case 'v': c.type = ColumnType::Binary; break;
    default: throw fail("unknown type letter");
  }
  const auto width = text::parseUInt32(def.substr(1));
  if (!width || *width > 0xFFFF) throw fail("width is not a number");
  const int w = static_cast<int>(*width);
  if (c.type == ColumnType::Integer && w != 2 && w != 4) throw fail("integer width must be 2 or 4");
  if (c.type == ColumnType::String && (w < 0 || w > 255)) throw fail("string width must be 0..255");
  c.width = c.type == ColumnType::Binary ? 0 : w;
  c.name = std::move(name);
  return c;
}

std::size_t Schema::keyCount() const {
  std::size_t n = 0;
  for (const auto& c : columns) n += c.key ? 1 : 0;
  return n;
}

std::optional<std::size_t> Schema::indexOf(std::string_view column) const {
  for (std::size_t i = 0; i < columns.size(); ++i)
    if (columns[i].name == column) return i;
  return std::nullopt;
}

}  // namespace msi
