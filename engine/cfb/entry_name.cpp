#include "engine/cfb/entry_name.h"

#include <cstdio>

#include "engine/cfb/format.h"
#include "engine/text/utf8.h"

namespace msi::cfb {
namespace {

// Simple upper-case mapping of one UTF-16 unit for the scripts that appear in entry names
// (Latin, Greek, Cyrillic, full-width Latin). Table-stream names are mangled into CJK-area
// units, which have no case. A fixed table, not the C locale, so results never depend on the
// environment.
char16_t upper(char16_t c) {
  if (c < 0x80) return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 0x20) : c;
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<char16_t>(c - 0x20);
  if (c == 0xFF) return 0x178;
  if (c >= 0x100 && c <= 0x17F) {
    // Latin Extended-A: mostly (upper, lower) pairs; the odd stretch 0x139-0x148 and
    // 0x179-0x17E pairs (lower at the even unit) instead.
    const bool shifted = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
    if (c == 0x131 || c == 0x138 || c == 0x149 || c == 0x17F) return c;
    if (shifted ? (c % 2 == 0) : (c % 2 == 1)) return static_cast<char16_t>(c - 1);
    return c;
  }
  if (c >= 0x3B1 && c <= 0x3CB && c != 0x3C2) return static_cast<char16_t>(c - 0x20);
  if (c == 0x3C2) return 0x3A3;
  if (c >= 0x430 && c <= 0x44F) return static_cast<char16_t>(c - 0x20);
  if (c >= 0x450 && c <= 0x45F) return static_cast<char16_t>(c - 0x50);
  if (c >= 0xFF41 && c <= 0xFF5A) return static_cast<char16_t>(c - 0x20);
  return c;
}

}  // namespace

int compareNames(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const char16_t x = upper(a[i]), y = upper(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  return 0;
}

std::string nameProblem(std::u16string_view name) {
  if (name.empty()) return "an entry name cannot be empty";
  if (name.size() > format::kMaxNameUnits)
    return "name `" + displayName(name) + "` is longer than 31 characters";
  for (char16_t c : name)
    if (c == u'/' || c == u'\\' || c == u':' || c == u'!' || c == 0)
      return "name `" + displayName(name) + "` holds a character names cannot hold";
  return {};
}

std::string displayName(std::u16string_view name) {
  std::string out;
  for (const char c : text::utf16ToUtf8(name)) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04X", static_cast<unsigned>(c));
      out += buf;
    } else {
      out += c;
    }
  }
  return out;
}

std::string displayPath(const Path& path) {
  if (path.empty()) return "root storage";
  std::string out;
  for (const auto& part : path) {
    if (!out.empty()) out += '/';
    out += displayName(part);
  }
  return out;
}

}  // namespace msi::cfb
