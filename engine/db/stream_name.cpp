// Stream-name compression: two characters of a 64-symbol alphabet share one UTF-16 unit.
#include "engine/db/stream_name.h"

#include "engine/db/codepage.h"

namespace msi::stream_name {
namespace {

int symbolIndex(char16_t ch) {
  if (ch >= '0' && ch <= '9') return ch - '0';
  if (ch >= 'A' && ch <= 'Z') return ch - 'A' + 10;
  if (ch >= 'a' && ch <= 'z') return ch - 'a' + 36;
  if (ch == '.') return 62;
  if (ch == '_') return 63;
  return -1;
}

char16_t symbol(int index) {
  if (index < 10) return static_cast<char16_t>('0' + index);
  if (index < 36) return static_cast<char16_t>('A' + index - 10);
  if (index < 62) return static_cast<char16_t>('a' + index - 36);
  return index == 62 ? u'.' : u'_';
}

constexpr char16_t kPairBase = 0x3800;
constexpr char16_t kSingleBase = 0x4800;

}  // namespace

std::u16string encode(std::string_view name, bool table) {
  const std::u16string in = utf8ToUtf16(name);
  // Property-set streams ("\005SummaryInformation", signatures) keep their names as they are.
  if (!table && !in.empty() && in.front() == u'\u0005') return in;
  std::u16string out;
  if (table) out.push_back(kTablePrefix);
  for (std::size_t i = 0; i < in.size(); ++i) {
    const int first = symbolIndex(in[i]);
    if (first < 0) {
      out.push_back(in[i]);
      continue;
    }
    const int second = i + 1 < in.size() ? symbolIndex(in[i + 1]) : -1;
    if (second >= 0) {
      out.push_back(static_cast<char16_t>(kPairBase + first + (second << 6)));
      ++i;
    } else {
      out.push_back(static_cast<char16_t>(kSingleBase + first));
    }
  }
  return out;
}

Decoded decode(std::u16string_view stored) {
  Decoded d;
  if (!stored.empty() && stored.front() == kTablePrefix) {
    d.table = true;
    stored.remove_prefix(1);
  }
  std::u16string out;
  for (const char16_t ch : stored) {
    if (ch >= kPairBase && ch < kSingleBase) {
      const int v = ch - kPairBase;
      out.push_back(symbol(v & 0x3F));
      out.push_back(symbol((v >> 6) & 0x3F));
    } else if (ch >= kSingleBase && ch < kTablePrefix) {
      out.push_back(symbol(ch - kSingleBase));
    } else {
      out.push_back(ch);
    }
  }
  d.name = utf16ToUtf8(out);
  return d;
}

}  // namespace msi::stream_name
