// Summary information: one OLE property set section with the package's descriptive properties.
#include "engine/db/summary_info.h"

#include <array>

#include "engine/db/codepage.h"

namespace msi {
namespace {

constexpr std::uint16_t VT_I2 = 2;
constexpr std::uint16_t VT_I4 = 3;
constexpr std::uint16_t VT_LPSTR = 30;
constexpr std::uint16_t VT_FILETIME = 64;

constexpr std::array<std::uint8_t, 16> kFmtId = {0xE0, 0x85, 0x9F, 0xF2, 0xF9, 0x4F, 0x68, 0x10,
                                                 0xAB, 0x91, 0x08, 0x00, 0x2B, 0x27, 0xB3, 0xD9};
constexpr std::size_t kHeaderSize = 28;
constexpr std::size_t kLocatorSize = 20;
constexpr std::uint32_t kOsVersion = 0x00020005;

std::uint32_t u16(const Bytes& b, std::size_t o) { return b[o] | (b[o + 1] << 8); }
std::uint32_t u32(const Bytes& b, std::size_t o) { return u16(b, o) | (u16(b, o + 2) << 16); }
std::uint64_t u64(const Bytes& b, std::size_t o) {
  return u32(b, o) | (std::uint64_t(u32(b, o + 4)) << 32);
}

void put16(Bytes& b, std::uint32_t v) {
  b.push_back(static_cast<std::uint8_t>(v));
  b.push_back(static_cast<std::uint8_t>(v >> 8));
}
void put32(Bytes& b, std::uint32_t v) {
  put16(b, v & 0xFFFF);
  put16(b, v >> 16);
}
void pad4(Bytes& b) {
  while (b.size() % 4) b.push_back(0);
}

// The codepage named by PID_CODEPAGE; 0 and absent mean 1252.
Codepage stringCodepage(std::int32_t id, bool strict, std::string_view where) {
  const int cp = id & 0xFFFF;
  if (Codepage::supported(cp)) return Codepage(cp);
  if (strict)
    throw Error(std::string(where) + ": summary information codepage " + std::to_string(cp) +
                " is not supported");
  return Codepage(1252);
}

}  // namespace

SummaryInfo SummaryInfo::parse(const Bytes& s, std::string_view where) {
  const std::string at(where);
  const auto fail = [&](const std::string& why) {
    return Error(at + ": summary information: " + why);
  };
  if (s.size() < kHeaderSize + kLocatorSize) throw fail("only " + std::to_string(s.size()) + " bytes");
  if (u16(s, 0) != 0xFFFE) throw fail("no property-set byte-order mark");
  const std::uint32_t sections = u32(s, 24);
  if (sections == 0) throw fail("no section");
  // Prefer the summary-information section; fall back to the first one.
  std::size_t locator = kHeaderSize;
  for (std::uint32_t i = 0; i < sections; ++i) {
    const std::size_t l = kHeaderSize + i * kLocatorSize;
    if (l + kLocatorSize > s.size()) break;
    if (std::equal(kFmtId.begin(), kFmtId.end(), s.begin() + static_cast<std::ptrdiff_t>(l))) {
      locator = l;
      break;
    }
  }
  const std::size_t section = u32(s, locator + 16);
  if (section > s.size() || s.size() - section < 8)
    throw fail("section offset " + std::to_string(section) + " is past the end");
  const std::size_t end = std::min<std::size_t>(s.size(), section + std::size_t(u32(s, section)));
  const std::size_t count = u32(s, section + 4);
  if (end < section + 8 || count > (end - section - 8) / 8)
    throw fail(std::to_string(count) + " properties do not fit the section");

  SummaryInfo info;
  // Strings are in the codepage the set itself declares, so find that first.
  std::int32_t codepageId = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t entry = section + 8 + i * 8;
    if (u32(s, entry) != PID_CODEPAGE) continue;
    const std::size_t v = section + std::size_t(u32(s, entry + 4));
    if (v < end && end - v >= 6 && u16(s, v) == VT_I2) codepageId = static_cast<std::int32_t>(u16(s, v + 4));
  }
  const Codepage cp = stringCodepage(codepageId, false, where);

  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t entry = section + 8 + i * 8;
    const std::uint32_t pid = u32(s, entry);
    const std::size_t off = u32(s, entry + 4);
    if (off > end - section || end - section - off < 4)
      throw fail("property " + std::to_string(pid) + " lies outside the section");
    const std::size_t v = section + off;
    const std::size_t room = end - v - 4;  // bytes after the type word
    const std::uint32_t type = u16(s, v);
    const auto need = [&](std::size_t n) {
      if (room < n) throw fail("property " + std::to_string(pid) + " is truncated");
    };
    switch (type) {
      case VT_I2: {
        need(2);
        const auto raw = static_cast<std::uint16_t>(u16(s, v + 4));
        // The codepage is a number up to 65001; other 2-byte values are signed.
        info.properties[pid] = pid == PID_CODEPAGE ? std::int32_t(raw)
                                                   : std::int32_t(static_cast<std::int16_t>(raw));
        break;
      }
      case VT_I4:
        need(4);
        info.properties[pid] = static_cast<std::int32_t>(u32(s, v + 4));
        break;
      case VT_LPSTR: {
        need(4);
        const std::size_t len = u32(s, v + 4);
        if (len > room - 4) throw fail("string property " + std::to_string(pid) + " is truncated");
        std::string_view text(reinterpret_cast<const char*>(s.data()) + v + 8, len);
        text = text.substr(0, text.find('\0'));
        info.properties[pid] = cp.decode(text);
        break;
      }
      case VT_FILETIME:
        need(8);
        info.properties[pid] = FileTime{u64(s, v + 4)};
        break;
      default:
        break;  // VT_EMPTY and types the installer does not use
    }
  }
  return info;
}

Bytes SummaryInfo::serialize() const {
  std::int32_t codepageId = 0;
  if (const auto it = properties.find(PID_CODEPAGE); it != properties.end())
    if (const auto* v = std::get_if<std::int32_t>(&it->second)) codepageId = *v;
  const Codepage cp = stringCodepage(codepageId, true, "summary information");

  Bytes values;
  std::vector<std::pair<std::uint32_t, std::uint32_t>> index;  // pid, offset in section
  const std::size_t headerBytes = 8 + properties.size() * 8;
  for (const auto& [pid, value] : properties) {
    index.emplace_back(pid, static_cast<std::uint32_t>(headerBytes + values.size()));
    if (const auto* i = std::get_if<std::int32_t>(&value)) {
      if (pid == PID_CODEPAGE) {
        put32(values, VT_I2);
        put16(values, static_cast<std::uint32_t>(*i) & 0xFFFF);
      } else {
        put32(values, VT_I4);
        put32(values, static_cast<std::uint32_t>(*i));
      }
    } else if (const auto* str = std::get_if<std::string>(&value)) {
      const auto bytes = cp.encode(*str);
      if (!bytes)
        throw Error("summary information: property " + std::to_string(pid) +
                    " cannot be written in codepage " + std::to_string(cp.id()));
      put32(values, VT_LPSTR);
      put32(values, static_cast<std::uint32_t>(bytes->size() + 1));
      values.insert(values.end(), bytes->begin(), bytes->end());
      values.push_back(0);
    } else {
      const auto t = std::get<FileTime>(value).ticks;
      put32(values, VT_FILETIME);
      put32(values, static_cast<std::uint32_t>(t));
      put32(values, static_cast<std::uint32_t>(t >> 32));
    }
    pad4(values);
  }

  Bytes out;
  put16(out, 0xFFFE);
  put16(out, 0);
  put32(out, kOsVersion);
  out.insert(out.end(), 16, 0);  // class id
  put32(out, 1);
  out.insert(out.end(), kFmtId.begin(), kFmtId.end());
  put32(out, static_cast<std::uint32_t>(kHeaderSize + kLocatorSize));
  put32(out, static_cast<std::uint32_t>(headerBytes + values.size()));
  put32(out, static_cast<std::uint32_t>(properties.size()));
  for (const auto& [pid, off] : index) {
    put32(out, pid);
    put32(out, off);
  }
  out.insert(out.end(), values.begin(), values.end());
  return out;
}

}  // namespace msi
