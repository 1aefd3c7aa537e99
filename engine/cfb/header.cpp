#include "engine/cfb/header.h"

#include <algorithm>

#include "engine/cfb/compound_file.h"

namespace msi::cfb {
using namespace format;

Header Header::forVersion(std::uint16_t major) {
  Header h;
  h.major = major;
  h.sectorShift = major == 4 ? 12 : 9;
  h.difat.fill(kFreeSect);
  return h;
}

Header Header::parse(std::span<const std::uint8_t> file, std::uint64_t fileSize, const std::string& name) {
  const auto fail = [&](const std::string& cause) { throw Error(name + ": " + cause); };
  if (file.size() < kHeaderFieldsSize) {
    if (file.size() >= sizeof kSignature && std::equal(kSignature, kSignature + 8, file.data()))
      fail("truncated: " + std::to_string(file.size()) + " bytes, shorter than the header");
    fail("not a compound file (too short for a header)");
  }
  const std::uint8_t* p = file.data();
  if (!std::equal(kSignature, kSignature + 8, p)) fail("not a compound file (no signature)");

  Header h;
  h.major = get16(p + kOffMajor);
  if (h.major != 3 && h.major != 4) fail("unsupported format version " + std::to_string(h.major));
  if (get16(p + kOffByteOrder) != kByteOrderMark) fail("bad byte-order mark in the header");
  h.sectorShift = get16(p + kOffSectorShift);
  // Version and sector size usually go together (3: 512, 4: 4096), but both sizes are read
  // whatever the version says.
  if (h.sectorShift != 9 && h.sectorShift != 12)
    fail("unsupported sector size 2^" + std::to_string(h.sectorShift));
  if (get16(p + kOffMiniSectorShift) != kMiniSectorShift)
    fail("unsupported mini sector size 2^" + std::to_string(get16(p + kOffMiniSectorShift)));
  if (get32(p + kOffMiniCutoff) != kMiniStreamCutoff)
    fail("unsupported mini stream cutoff " + std::to_string(get32(p + kOffMiniCutoff)));
  if (fileSize < h.sectorSize())
    fail("truncated: " + std::to_string(fileSize) + " bytes, shorter than the " +
         std::to_string(h.sectorSize()) + "-byte header sector");

  h.dirSectorCount = get32(p + kOffDirSectorCount);
  h.fatSectorCount = get32(p + kOffFatSectorCount);
  h.firstDirSector = get32(p + kOffFirstDirSector);
  h.firstMiniFatSector = get32(p + kOffFirstMiniFatSector);
  h.miniFatSectorCount = get32(p + kOffMiniFatSectorCount);
  h.firstDifatSector = get32(p + kOffFirstDifatSector);
  h.difatSectorCount = get32(p + kOffDifatSectorCount);
  for (std::size_t i = 0; i < kHeaderDifatSlots; ++i) h.difat[i] = get32(p + kOffDifat + 4 * i);
  return h;
}

void Header::store(std::uint8_t* out) const {
  std::copy(kSignature, kSignature + 8, out);
  put16(out + kOffMinor, kMinorVersion);
  put16(out + kOffMajor, major);
  put16(out + kOffByteOrder, kByteOrderMark);
  put16(out + kOffSectorShift, static_cast<std::uint16_t>(sectorShift));
  put16(out + kOffMiniSectorShift, kMiniSectorShift);
  put32(out + kOffDirSectorCount, major == 3 ? 0 : dirSectorCount);
  put32(out + kOffFatSectorCount, fatSectorCount);
  put32(out + kOffFirstDirSector, firstDirSector);
  put32(out + kOffMiniCutoff, kMiniStreamCutoff);
  put32(out + kOffFirstMiniFatSector, firstMiniFatSector);
  put32(out + kOffMiniFatSectorCount, miniFatSectorCount);
  put32(out + kOffFirstDifatSector, firstDifatSector);
  put32(out + kOffDifatSectorCount, difatSectorCount);
  for (std::size_t i = 0; i < kHeaderDifatSlots; ++i) put32(out + kOffDifat + 4 * i, difat[i]);
}

}  // namespace msi::cfb
