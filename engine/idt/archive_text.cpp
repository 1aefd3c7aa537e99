#include "engine/idt/archive_text.h"

#include <array>

namespace msi::idt {
namespace {

struct Escape {
  char raw;
  char stored;
};
// NUL, BS, TAB, LF, FF, CR and the bytes that stand for them in an archive.
constexpr Escape kEscapes[] = {{'\0', '\x15'}, {'\b', '\x1b'}, {'\t', '\x10'},
                               {'\n', '\x19'}, {'\f', '\x18'}, {'\r', '\x11'}};

// Byte -> what it becomes, for each direction; bytes without an escape map to themselves.
struct EscapeTables {
  std::array<char, 256> toStored{}, toRaw{};
  std::array<bool, 256> isStored{};
  constexpr EscapeTables() {
    for (int b = 0; b < 256; ++b) toStored[b] = toRaw[b] = static_cast<char>(b);
    for (const Escape& e : kEscapes) {
      toStored[static_cast<unsigned char>(e.raw)] = e.stored;
      toRaw[static_cast<unsigned char>(e.stored)] = e.raw;
      isStored[static_cast<unsigned char>(e.stored)] = true;
    }
  }
};
constexpr EscapeTables kTables;

}  // namespace

std::string escapeValue(std::string_view raw) {
  std::string out;
  appendEscaped(out, raw);
  return out;
}

std::string unescapeValue(std::string_view stored) {
  std::string out(stored);
  for (char& c : out) c = kTables.toRaw[static_cast<unsigned char>(c)];
  return out;
}

bool usableAsFolderName(std::string_view name) {
  if (name.empty() || name == "." || name == "..") return false;
  for (const char c : name)
    if (c == '/' || c == '\\' || static_cast<unsigned char>(c) < 0x20) return false;
  return true;
}

bool hasEscapes(std::string_view stored) {
  for (const char c : stored)
    if (kTables.isStored[static_cast<unsigned char>(c)]) return true;
  return false;
}

void appendEscaped(std::string& out, std::string_view raw) {
  const std::size_t from = out.size();
  out += raw;
  for (std::size_t i = from; i < out.size(); ++i) out[i] = kTables.toStored[static_cast<unsigned char>(out[i])];
}

std::vector<std::string_view> splitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    std::size_t next = end == std::string_view::npos ? text.size() : end + 1;
    if (end == std::string_view::npos) end = text.size();
    std::size_t stop = end;
    if (stop > start && text[stop - 1] == '\r') --stop;
    lines.push_back(text.substr(start, stop - start));
    start = next;
  }
  return lines;
}

std::vector<std::string_view> splitFields(std::string_view line) {
  std::vector<std::string_view> fields;
  std::size_t start = 0;
  for (;;) {
    std::size_t tab = line.find('\t', start);
    if (tab == std::string_view::npos) {
      fields.push_back(line.substr(start));
      return fields;
    }
    fields.push_back(line.substr(start, tab - start));
    start = tab + 1;
  }
}

}  // namespace msi::idt
