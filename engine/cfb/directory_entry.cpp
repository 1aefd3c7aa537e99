#include "engine/cfb/directory_entry.h"

#include <algorithm>

namespace msi::cfb {
using namespace format;

DirectoryEntry DirectoryEntry::parse(const std::uint8_t* p, std::uint16_t major) {
  DirectoryEntry e;
  const std::uint16_t nameBytes = get16(p + kOffNameLength);
  e.nameValid = nameBytes >= 2 && nameBytes <= 64 && nameBytes % 2 == 0;
  if (e.nameValid) {
    const std::size_t units = nameBytes / 2 - 1;
    for (std::size_t i = 0; i < units; ++i) {
      const char16_t c = get16(p + kOffName + 2 * i);
      if (c == 0) break;
      e.name += c;
    }
  }
  e.type = p[kOffType];
  e.colour = p[kOffColour];
  e.left = get32(p + kOffLeft);
  e.right = get32(p + kOffRight);
  e.child = get32(p + kOffChild);
  std::copy(p + kOffEntryClsid, p + kOffEntryClsid + 16, e.clsid.begin());
  e.start = get32(p + kOffStart);
  e.size = get64(p + kOffSize);
  if (major == 3) e.size &= 0xFFFFFFFFu;
  return e;
}

void DirectoryEntry::store(std::uint8_t* p) const {
  std::fill(p + kOffName, p + kOffName + 64, std::uint8_t{0});
  const std::size_t units = std::min(name.size(), kMaxNameUnits);
  for (std::size_t i = 0; i < units; ++i) put16(p + kOffName + 2 * i, name[i]);
  put16(p + kOffNameLength,
        static_cast<std::uint16_t>(units == 0 && type == kTypeUnused ? 0 : 2 * (units + 1)));
  p[kOffType] = type;
  p[kOffColour] = colour;
  put32(p + kOffLeft, left);
  put32(p + kOffRight, right);
  put32(p + kOffChild, child);
  std::copy(clsid.begin(), clsid.end(), p + kOffEntryClsid);
  put32(p + kOffStart, start);
  put64(p + kOffSize, size);
}

void DirectoryEntry::storeUnused(std::uint8_t* p) {
  std::fill(p, p + kDirEntrySize, std::uint8_t{0});
  put32(p + kOffLeft, kNoStream);
  put32(p + kOffRight, kNoStream);
  put32(p + kOffChild, kNoStream);
}

}  // namespace msi::cfb
