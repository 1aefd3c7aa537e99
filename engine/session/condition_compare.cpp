#include "engine/session/condition_compare.h"

#include <algorithm>
#include <string_view>
#include <vector>

#include "engine/text/utf8.h"

namespace msi::condition {
namespace {

// Text compares by UTF-16 code units, as the installer's strings are UTF-16: code points
// from U+10000 (surrogate pairs) sort before U+E000..U+FFFF. Keys preserve that order.
std::uint32_t orderKey(std::uint32_t cp) {
  if (cp < 0xD800) return cp;
  if (cp >= 0x10000) return 0xD800 + (cp - 0x10000);
  return cp + 0x110000;  // U+D800..U+FFFF after every surrogate pair
}

// Simple lowercase mapping for the scripts seen in installer text (Latin, Greek, Cyrillic,
// full-width Latin). "~" comparisons lowercase both sides before comparing.
std::uint32_t toLower(std::uint32_t c) {
  if (c < 0x80) return (c >= 'A' && c <= 'Z') ? c + 0x20 : c;
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 0x20;
  if (c == 0x130) return 'i';
  if (c >= 0x100 && c <= 0x137) return (c % 2 == 0) ? c + 1 : c;
  if (c >= 0x139 && c <= 0x148) return (c % 2 == 1) ? c + 1 : c;
  if (c >= 0x14A && c <= 0x177) return (c % 2 == 0) ? c + 1 : c;
  if (c == 0x178) return 0xFF;
  if (c >= 0x179 && c <= 0x17E) return (c % 2 == 1) ? c + 1 : c;
  if (c == 0x386) return 0x3AC;
  if (c >= 0x388 && c <= 0x38A) return c + 0x25;
  if (c == 0x38C) return 0x3CC;
  if (c == 0x38E || c == 0x38F) return c + 0x3F;
  if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) return c + 0x20;
  if (c >= 0x400 && c <= 0x40F) return c + 0x50;
  if (c >= 0x410 && c <= 0x42F) return c + 0x20;
  if (c >= 0xFF21 && c <= 0xFF3A) return c + 0x20;
  return c;
}

// Decodes UTF-8 into order keys. A byte that does not start a valid sequence stands for
// itself in the lone-surrogate range, so malformed text still compares consistently.
std::vector<std::uint32_t> keysOf(std::string_view text, bool fold) {
  std::vector<std::uint32_t> keys;
  keys.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    char32_t cp = 0;
    const std::size_t len = text::decodeUtf8(text, i, cp);
    if (len == 0) {
      keys.push_back(0xDC00 + static_cast<unsigned char>(text[i]));
      ++i;
      continue;
    }
    keys.push_back(orderKey(fold ? toLower(cp) : cp));
    i += len;
  }
  return keys;
}

bool isDigitString(std::string_view s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// A property value that counts as an integer against an integer: optional "-", digits.
bool isIntegerString(std::string_view s) {
  if (!s.empty() && s.front() == '-') s.remove_prefix(1);
  return isDigitString(s);
}

bool compareIntegers(std::int32_t a, CompareOp op, std::int32_t b) {
  switch (op) {
    case CompareOp::Equal: return a == b;
    case CompareOp::NotEqual: return a != b;
    case CompareOp::Less: return a < b;
    case CompareOp::Greater: return a > b;
    case CompareOp::LessEqual: return a <= b;
    case CompareOp::GreaterEqual: return a >= b;
    case CompareOp::Contains: return (a & b) != 0;
    case CompareOp::StartsWith: return ((a >> 16) & 0xFFFF) == b;
    case CompareOp::EndsWith: return (a & 0xFFFF) == b;
  }
  return false;
}

bool isSubstringOp(CompareOp op) {
  return op == CompareOp::Contains || op == CompareOp::StartsWith || op == CompareOp::EndsWith;
}

bool compareTexts(std::string_view a, CompareOp op, bool caseInsensitive, std::string_view b,
                  bool numericWhenDigits) {
  if (isSubstringOp(op)) {
    if (a.empty()) return false;
    if (b.empty()) return true;
    if (isDigitString(a) && isDigitString(b))
      return compareIntegers(leadingInteger(a), op, leadingInteger(b));
    const auto ka = keysOf(a, caseInsensitive);
    const auto kb = keysOf(b, caseInsensitive);
    if (kb.size() > ka.size()) return false;
    if (op == CompareOp::StartsWith) return std::equal(kb.begin(), kb.end(), ka.begin());
    if (op == CompareOp::EndsWith) return std::equal(kb.begin(), kb.end(), ka.end() - kb.size());
    return std::search(ka.begin(), ka.end(), kb.begin(), kb.end()) != ka.end();
  }
  if (numericWhenDigits && isDigitString(a) && isDigitString(b))
    return compareIntegers(leadingInteger(a), op, leadingInteger(b));
  const auto ka = keysOf(a, caseInsensitive);
  const auto kb = keysOf(b, caseInsensitive);
  const auto order = std::lexicographical_compare_three_way(ka.begin(), ka.end(), kb.begin(), kb.end());
  switch (op) {
    case CompareOp::Equal: return order == 0;
    case CompareOp::NotEqual: return order != 0;
    case CompareOp::Less: return order < 0;
    case CompareOp::Greater: return order > 0;
    case CompareOp::LessEqual: return order <= 0;
    case CompareOp::GreaterEqual: return order >= 0;
    default: return false;
  }
}

}  // namespace

bool isTrue(const Operand& value) {
  return value.kind == Operand::Kind::Integer ? value.integer != 0 : !value.text.empty();
}

bool compare(const Operand& left, CompareOp op, bool caseInsensitive, const Operand& right) {
  using Kind = Operand::Kind;
  const bool leftInt = left.kind == Kind::Integer;
  const bool rightInt = right.kind == Kind::Integer;
  if (leftInt && rightInt) return compareIntegers(left.integer, op, right.integer);
  if (!leftInt && !rightInt) {
    const bool anySymbol = left.kind == Kind::Symbol || right.kind == Kind::Symbol;
    return compareTexts(left.text, op, caseInsensitive, right.text, anySymbol);
  }
  // Integer against text: numeric only for a property/environment value that is an integer.
  const Operand& text = leftInt ? right : left;
  if (text.kind == Kind::Symbol && isIntegerString(text.text)) {
    const std::int32_t value = leadingInteger(text.text);
    return leftInt ? compareIntegers(left.integer, op, value)
                   : compareIntegers(value, op, right.integer);
  }
  return op == CompareOp::NotEqual;
}

}  // namespace msi::condition
