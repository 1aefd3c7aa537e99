// One 128-byte directory entry. Private to engine/cfb.
#pragma once

#include <cstdint>
#include <string>

#include "engine/cfb/compound_file.h"
#include "engine/cfb/format.h"

namespace msi::cfb {

struct DirectoryEntry {
  std::u16string name;
  bool nameValid = true;  // the stored length was even, at most 64 bytes, and not 0
  std::uint8_t type = format::kTypeUnused;
  std::uint8_t colour = format::kBlack;
  std::uint32_t left = format::kNoStream;
  std::uint32_t right = format::kNoStream;
  std::uint32_t child = format::kNoStream;
  Clsid clsid{};
  std::uint32_t start = format::kEndOfChain;
  std::uint64_t size = 0;

  bool isStorage() const { return type == format::kTypeStorage || type == format::kTypeRoot; }
  bool isStream() const { return type == format::kTypeStream; }

  // Decodes the entry at `p`. Version 3 files only use the low 32 bits of the size: some
  // writers leave garbage in the high dword, so it is masked off there.
  static DirectoryEntry parse(const std::uint8_t* p, std::uint16_t major);
  // Writes name, type, colour, links, CLSID, start and size at `p`; state bits and times are
  // left as they are (callers zero-fill fresh entries, which gives zero times).
  void store(std::uint8_t* p) const;
  // The bytes of an unused entry: all zero except the three links.
  static void storeUnused(std::uint8_t* p);
};

}  // namespace msi::cfb
