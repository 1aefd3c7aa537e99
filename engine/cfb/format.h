// On-disk constants of the compound-file format and little-endian field access.
// Private to engine/cfb.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace msi::cfb::format {

// Special sector ids (every id above kMaxRegular is one of these).
inline constexpr std::uint32_t kMaxRegular = 0xFFFFFFFA;
inline constexpr std::uint32_t kDifSect = 0xFFFFFFFC;
inline constexpr std::uint32_t kFatSect = 0xFFFFFFFD;
inline constexpr std::uint32_t kEndOfChain = 0xFFFFFFFE;
inline constexpr std::uint32_t kFreeSect = 0xFFFFFFFF;
// "No entry" in directory sibling and child links.
inline constexpr std::uint32_t kNoStream = 0xFFFFFFFF;

inline constexpr std::uint8_t kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
inline constexpr std::uint16_t kMinorVersion = 0x003E;
inline constexpr std::uint16_t kByteOrderMark = 0xFFFE;
inline constexpr unsigned kMiniSectorShift = 6;
inline constexpr std::uint32_t kMiniSectorSize = 64;
inline constexpr std::uint32_t kMiniStreamCutoff = 4096;
inline constexpr std::size_t kHeaderFieldsSize = 512;  // the meaningful part of the header
inline constexpr std::size_t kHeaderDifatSlots = 109;
inline constexpr std::size_t kDirEntrySize = 128;
inline constexpr std::size_t kMaxNameUnits = 31;  // plus the terminating NUL

// Header field offsets.
inline constexpr std::size_t kOffClsid = 0x08;
inline constexpr std::size_t kOffMinor = 0x18;
inline constexpr std::size_t kOffMajor = 0x1A;
inline constexpr std::size_t kOffByteOrder = 0x1C;
inline constexpr std::size_t kOffSectorShift = 0x1E;
inline constexpr std::size_t kOffMiniSectorShift = 0x20;
inline constexpr std::size_t kOffDirSectorCount = 0x28;
inline constexpr std::size_t kOffFatSectorCount = 0x2C;
inline constexpr std::size_t kOffFirstDirSector = 0x30;
inline constexpr std::size_t kOffTransaction = 0x34;
inline constexpr std::size_t kOffMiniCutoff = 0x38;
inline constexpr std::size_t kOffFirstMiniFatSector = 0x3C;
inline constexpr std::size_t kOffMiniFatSectorCount = 0x40;
inline constexpr std::size_t kOffFirstDifatSector = 0x44;
inline constexpr std::size_t kOffDifatSectorCount = 0x48;
inline constexpr std::size_t kOffDifat = 0x4C;

// Directory entry field offsets.
inline constexpr std::size_t kOffName = 0x00;
inline constexpr std::size_t kOffNameLength = 0x40;
inline constexpr std::size_t kOffType = 0x42;
inline constexpr std::size_t kOffColour = 0x43;
inline constexpr std::size_t kOffLeft = 0x44;
inline constexpr std::size_t kOffRight = 0x48;
inline constexpr std::size_t kOffChild = 0x4C;
inline constexpr std::size_t kOffEntryClsid = 0x50;
inline constexpr std::size_t kOffStateBits = 0x60;
inline constexpr std::size_t kOffCreated = 0x64;
inline constexpr std::size_t kOffModified = 0x6C;
inline constexpr std::size_t kOffStart = 0x74;
inline constexpr std::size_t kOffSize = 0x78;

inline constexpr std::uint8_t kTypeUnused = 0;
inline constexpr std::uint8_t kTypeStorage = 1;
inline constexpr std::uint8_t kTypeStream = 2;
inline constexpr std::uint8_t kTypeRoot = 5;
inline constexpr std::uint8_t kRed = 0;
inline constexpr std::uint8_t kBlack = 1;

inline std::uint16_t get16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
inline std::uint32_t get32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
inline std::uint64_t get64(const std::uint8_t* p) {
  return static_cast<std::uint64_t>(get32(p)) | (static_cast<std::uint64_t>(get32(p + 4)) << 32);
}
inline void put16(std::uint8_t* p, std::uint16_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}
inline void put32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
inline void put64(std::uint8_t* p, std::uint64_t v) {
  put32(p, static_cast<std::uint32_t>(v));
  put32(p + 4, static_cast<std::uint32_t>(v >> 32));
}

// Sectors needed for `bytes` bytes of sectors of `size` bytes.
inline std::uint64_t sectorsFor(std::uint64_t bytes, std::uint64_t size) { return (bytes + size - 1) / size; }

}  // namespace msi::cfb::format
