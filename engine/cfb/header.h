// The file header: geometry, where the allocation tables and the directory start, and the
// first 109 FAT sector ids. Private to engine/cfb.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>

#include "engine/cfb/format.h"

namespace msi::cfb {

struct Header {
  std::uint16_t major = 3;
  unsigned sectorShift = 9;
  std::uint32_t dirSectorCount = 0;  // v4 only; v3 writes 0
  std::uint32_t fatSectorCount = 0;
  std::uint32_t firstDirSector = format::kEndOfChain;
  std::uint32_t firstMiniFatSector = format::kEndOfChain;
  std::uint32_t miniFatSectorCount = 0;
  std::uint32_t firstDifatSector = format::kEndOfChain;
  std::uint32_t difatSectorCount = 0;
  std::array<std::uint32_t, format::kHeaderDifatSlots> difat{};

  std::uint32_t sectorSize() const { return 1u << sectorShift; }

  // A fresh header for a file of `major` version 3 (512-byte sectors) or 4 (4096).
  static Header forVersion(std::uint16_t major);
  // Reads and checks the header: `head` is the start of a file of `fileSize` bytes (its first
  // 512 bytes, or all of it when shorter). Throws Error("<name>: <cause>").
  static Header parse(std::span<const std::uint8_t> head, std::uint64_t fileSize, const std::string& name);
  // Writes every field this struct models into the first 512 bytes at `out`; reserved bytes,
  // the header CLSID and the transaction signature are left as they are.
  void store(std::uint8_t* out) const;
};

}  // namespace msi::cfb
