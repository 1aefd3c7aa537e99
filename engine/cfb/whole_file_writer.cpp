#include "engine/cfb/whole_file_writer.h"

#include <algorithm>
#include <span>
#include <vector>

#include "engine/cfb/directory_entry.h"
#include "engine/cfb/header.h"
#include "engine/cfb/sibling_tree.h"

namespace msi::cfb {
using namespace format;

namespace {

struct Layout {
  std::vector<DirectoryEntry> entries;
  std::vector<const EntryNode*> nodes;  // by entry id
  std::uint64_t miniSectors = 0;
};

Layout flatten(const EntryNode& root) {
  Layout l;
  DirectoryEntry r;
  r.name = u"Root Entry";
  r.type = kTypeRoot;
  r.clsid = root.clsid;
  l.entries.push_back(r);
  l.nodes.push_back(&root);
  for (std::size_t at = 0; at < l.nodes.size(); ++at) {
    const EntryNode& node = *l.nodes[at];
    if (!node.isStorage()) continue;
    std::vector<std::uint32_t> ids;
    for (const auto& [name, child] : node.children) {
      DirectoryEntry e;
      e.name = child->name;
      e.type = child->isStorage() ? kTypeStorage : kTypeStream;
      if (child->isStorage()) {
        e.clsid = child->clsid;
        e.start = 0;
      } else {
        e.size = child->size();
      }
      ids.push_back(static_cast<std::uint32_t>(l.entries.size()));
      l.entries.push_back(e);
      l.nodes.push_back(child.get());
    }
    l.entries[at].child = linkSiblings(ids, l.entries);
  }
  return l;
}

// Writes the content of a stream node: its new data, what its writer makes, or the base
// entry's (read into `holder`).
void writeContent(const EntryNode& node, const CompoundReader* base, const std::string& targetName, Bytes& holder,
                  SequentialWriter& out) {
  if (node.replaced && node.writer) {
    node.produce([&](const std::uint8_t* bytes, std::size_t count) { out.write(bytes, count); }, targetName);
    return;
  }
  if (node.replaced) {
    out.write(node.data.data(), node.data.size());
    return;
  }
  if (!base || !node.baseId)
    throw Error(targetName + ": stream `" + displayName(node.name) + "` has no content");
  holder = base->readEntry(*node.baseId);
  if (holder.size() != node.baseSize)
    throw Error(targetName + ": stream `" + displayName(node.name) + "` changed size while being copied");
  for (const auto& [at, piece] : node.patches)
    std::copy(piece.begin(), piece.end(), holder.begin() + static_cast<std::ptrdiff_t>(at));
  out.write(holder.data(), holder.size());
}

}  // namespace

void writeWholeFile(const EntryNode& root, std::uint16_t major, const CompoundReader* base,
                    SequentialWriter& out, const std::string& targetName) {
  Header h = Header::forVersion(major);
  const std::uint64_t ss = h.sectorSize();
  const std::uint64_t perSector = ss / 4;
  Layout l = flatten(root);

  std::uint64_t bigSectors = 0;
  for (std::size_t id = 1; id < l.entries.size(); ++id) {
    DirectoryEntry& e = l.entries[id];
    if (e.type != kTypeStream) continue;
    if (major == 3 && e.size > 0xFFFFFFFFull)
      throw Error(targetName + ": stream `" + displayName(e.name) +
                  "` is 4 GB or larger, more than a version 3 file can hold");
    if (e.size == 0) {
      e.start = kEndOfChain;
    } else if (e.size < kMiniStreamCutoff) {
      e.start = static_cast<std::uint32_t>(l.miniSectors);
      l.miniSectors += sectorsFor(e.size, kMiniSectorSize);
    } else {
      bigSectors += sectorsFor(e.size, ss);
    }
  }
  const std::uint64_t miniStreamBytes = l.miniSectors * kMiniSectorSize;
  const std::uint64_t miniStreamSectors = sectorsFor(miniStreamBytes, ss);
  const std::uint64_t miniFatSectors = sectorsFor(l.miniSectors * 4, ss);
  const std::uint64_t dirSectors = sectorsFor(l.entries.size() * kDirEntrySize, ss);
  const std::uint64_t contentSectors = dirSectors + miniFatSectors + miniStreamSectors + bigSectors;

  // The FAT must also describe its own sectors and the DIFAT's: grow both until they cover
  // everything, themselves included.
  std::uint64_t fatSectors = 0, difatSectors = 0;
  for (;;) {
    const std::uint64_t total = contentSectors + fatSectors + difatSectors;
    const std::uint64_t f = sectorsFor(total, perSector);
    const std::uint64_t d = f > kHeaderDifatSlots ? sectorsFor(f - kHeaderDifatSlots, perSector - 1) : 0;
    if (f == fatSectors && d == difatSectors) break;
    fatSectors = f;
    difatSectors = d;
  }
  const std::uint64_t total = contentSectors + fatSectors + difatSectors;
  if (total > kMaxRegular) throw Error(targetName + ": content too large for a compound file", ErrorKind::Limit);

  const auto id32 = [](std::uint64_t v) { return static_cast<std::uint32_t>(v); };
  const std::uint64_t difatStart = fatSectors;
  const std::uint64_t dirStart = difatStart + difatSectors;
  const std::uint64_t miniFatStart = dirStart + dirSectors;
  const std::uint64_t miniStreamStart = miniFatStart + miniFatSectors;
  std::uint64_t nextBig = miniStreamStart + miniStreamSectors;

  std::vector<std::uint32_t> fat(static_cast<std::size_t>(fatSectors * perSector), kFreeSect);
  const auto linkRun = [&](std::uint64_t start, std::uint64_t count) {
    for (std::uint64_t i = 0; i < count; ++i)
      fat[start + i] = i + 1 < count ? id32(start + i + 1) : kEndOfChain;
  };
  for (std::uint64_t i = 0; i < fatSectors; ++i) fat[i] = kFatSect;
  for (std::uint64_t i = 0; i < difatSectors; ++i) fat[difatStart + i] = kDifSect;
  linkRun(dirStart, dirSectors);
  linkRun(miniFatStart, miniFatSectors);
  linkRun(miniStreamStart, miniStreamSectors);
  std::vector<std::uint32_t> miniFat(static_cast<std::size_t>(miniFatSectors * perSector), kFreeSect);
  for (std::size_t id = 1; id < l.entries.size(); ++id) {
    DirectoryEntry& e = l.entries[id];
    if (e.type != kTypeStream || e.size == 0) continue;
    if (e.size < kMiniStreamCutoff) {
      const std::uint64_t n = sectorsFor(e.size, kMiniSectorSize);
      for (std::uint64_t i = 0; i < n; ++i)
        miniFat[e.start + i] = i + 1 < n ? id32(e.start + i + 1) : kEndOfChain;
    } else {
      const std::uint64_t n = sectorsFor(e.size, ss);
      e.start = id32(nextBig);
      linkRun(nextBig, n);
      nextBig += n;
    }
  }
  l.entries[0].start = miniStreamSectors ? id32(miniStreamStart) : kEndOfChain;
  l.entries[0].size = miniStreamBytes;

  h.fatSectorCount = id32(fatSectors);
  for (std::uint64_t i = 0; i < std::min<std::uint64_t>(fatSectors, kHeaderDifatSlots); ++i)
    h.difat[i] = id32(i);
  h.firstDifatSector = difatSectors ? id32(difatStart) : kEndOfChain;
  h.difatSectorCount = id32(difatSectors);
  h.firstDirSector = id32(dirStart);
  h.dirSectorCount = id32(dirSectors);
  h.firstMiniFatSector = miniFatSectors ? id32(miniFatStart) : kEndOfChain;
  h.miniFatSectorCount = id32(miniFatSectors);

  Bytes sector(ss, 0);
  h.store(sector.data());
  out.write(sector.data(), sector.size());

  const auto writeIds = [&](const std::vector<std::uint32_t>& ids) {
    Bytes buf(ids.size() * 4);
    for (std::size_t i = 0; i < ids.size(); ++i) put32(buf.data() + 4 * i, ids[i]);
    out.write(buf.data(), buf.size());
  };
  writeIds(fat);
  for (std::uint64_t d = 0; d < difatSectors; ++d) {
    std::vector<std::uint32_t> ids(perSector, kFreeSect);
    for (std::uint64_t i = 0; i + 1 < perSector; ++i) {
      const std::uint64_t k = kHeaderDifatSlots + d * (perSector - 1) + i;
      if (k < fatSectors) ids[i] = id32(k);
    }
    ids[perSector - 1] = d + 1 < difatSectors ? id32(difatStart + d + 1) : kEndOfChain;
    writeIds(ids);
  }

  Bytes dir(dirSectors * ss);
  for (std::size_t i = 0; i < dirSectors * ss / kDirEntrySize; ++i) {
    std::uint8_t* p = dir.data() + i * kDirEntrySize;
    if (i < l.entries.size())
      l.entries[i].store(p);
    else
      DirectoryEntry::storeUnused(p);
  }
  out.write(dir.data(), dir.size());
  writeIds(miniFat);

  // Mini stream, then large streams, both in entry order as laid out above.
  Bytes holder;
  for (std::size_t id = 1; id < l.entries.size(); ++id) {
    const DirectoryEntry& e = l.entries[id];
    if (e.type != kTypeStream || e.size == 0 || e.size >= kMiniStreamCutoff) continue;
    writeContent(*l.nodes[id], base, targetName, holder, out);
    out.zeros(static_cast<std::size_t>(sectorsFor(e.size, kMiniSectorSize) * kMiniSectorSize - e.size));
  }
  out.zeros(static_cast<std::size_t>(miniStreamSectors * ss - miniStreamBytes));
  for (std::size_t id = 1; id < l.entries.size(); ++id) {
    const DirectoryEntry& e = l.entries[id];
    if (e.type != kTypeStream || e.size < kMiniStreamCutoff) continue;
    writeContent(*l.nodes[id], base, targetName, holder, out);
    out.zeros(static_cast<std::size_t>(sectorsFor(e.size, ss) * ss - e.size));
  }
  out.flush();
}

}  // namespace msi::cfb
