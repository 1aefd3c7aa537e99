#include "engine/cfb/compound_reader.h"

#include <algorithm>
#include <limits>

#include "engine/cfb/entry_name.h"

namespace msi::cfb {
using namespace format;

std::shared_ptr<const Reader> Reader::open(const std::filesystem::path& path) {
  auto file = std::make_unique<ReadOnlyFile>(path);
  return std::make_shared<CompoundReader>(std::move(file), path);
}

std::shared_ptr<const Reader> Reader::fromBytes(Bytes data, std::string name) {
  return std::make_shared<CompoundReader>(std::move(data), std::move(name));
}

CompoundReader::CompoundReader(std::unique_ptr<ReadOnlyFile> file, std::filesystem::path path)
    : file_(std::move(file)), size_(file_->size()), path_(std::move(path)), name_(path_.string()) {
  load();
}

CompoundReader::CompoundReader(Bytes data, std::string name)
    : owned_(std::move(data)), size_(owned_.size()), name_(std::move(name)) {
  load();
}

void CompoundReader::fail(const std::string& cause) const { throw Error(name_ + ": " + cause); }

void CompoundReader::load() {
  const std::size_t headLength = static_cast<std::size_t>(std::min<std::uint64_t>(size_, kHeaderFieldsSize));
  copyOut(0, headerBytes_.data(), headLength);
  header_ = Header::parse(std::span(headerBytes_).first(headLength), size_, name_);
  const std::uint64_t ss = sectorSize();
  const std::uint64_t count = size_ > ss ? sectorsFor(size_ - ss, ss) : 0;
  sectorCount_ = static_cast<std::uint32_t>(std::min<std::uint64_t>(count, kMaxRegular + 1ull));
  loadDifat();
  loadDirectory();
  loadTree();
}

void CompoundReader::copyOut(std::uint64_t at, std::uint8_t* out, std::size_t length) const {
  if (file_) return file_->read(at, out, length);
  std::copy_n(owned_.data() + at, length, out);
}

void CompoundReader::gather(const std::vector<Piece>& pieces, std::uint8_t* out) const {
  for (std::size_t i = 0; i < pieces.size();) {
    // Chains are mostly runs of consecutive sectors: one read a run.
    std::size_t length = pieces[i].length;
    std::size_t k = i + 1;
    while (k < pieces.size() && pieces[k].at == pieces[i].at + length && pieces[k].to == pieces[i].to + length)
      length += pieces[k++].length;
    copyOut(pieces[i].at, out + pieces[i].to, length);
    i = k;
  }
}

bool CompoundReader::fits(std::uint32_t id, std::size_t offset, std::size_t length) const {
  return id < sectorCount_ &&
         (static_cast<std::uint64_t>(id) + 1) * sectorSize() + offset + length <= size_;
}

void CompoundReader::readSector(std::uint32_t id, std::size_t offset, std::uint8_t* out, std::size_t length,
                                std::string_view what) const {
  if (id >= sectorCount_)
    fail(std::string(what) + ": sector " + std::to_string(id) + " is out of range (the file has " +
         std::to_string(sectorCount_) + " sectors)");
  const std::uint64_t at = (static_cast<std::uint64_t>(id) + 1) * sectorSize() + offset;
  if (at + length > size_)
    fail(std::string(what) + ": sector " + std::to_string(id) + " lies past the end of the file (truncated)");
  copyOut(at, out, length);
}

Bytes CompoundReader::readSectors(const std::vector<std::uint32_t>& ids, std::string_view what) const {
  const std::uint64_t ss = sectorSize();
  Bytes out(ids.size() * ss, 0);
  std::vector<Piece> pieces;
  pieces.reserve(ids.size());
  for (const std::uint32_t id : ids) {
    if (id >= sectorCount_)
      fail(std::string(what) + ": sector " + std::to_string(id) + " is out of range (the file has " +
           std::to_string(sectorCount_) + " sectors)");
    const std::uint64_t at = (static_cast<std::uint64_t>(id) + 1) * ss;
    pieces.push_back({at, static_cast<std::size_t>(std::min(ss, size_ - at)), pieces.size() * ss});
  }
  gather(pieces, out.data());
  return out;
}

void CompoundReader::loadDifat() {
  const std::uint32_t perSector = sectorSize() / 4;
  // Every FAT sector is a sector of the file, so a larger count is damage, and checking it
  // first keeps a hostile count from driving a huge allocation.
  if (header_.fatSectorCount > sectorCount_)
    fail("header declares " + std::to_string(header_.fatSectorCount) + " FAT sectors but the file has only " +
         std::to_string(sectorCount_) + " sectors");
  fatSectors_.reserve(header_.fatSectorCount);
  for (std::size_t i = 0; i < kHeaderDifatSlots && fatSectors_.size() < header_.fatSectorCount; ++i)
    fatSectors_.push_back(header_.difat[i]);
  // The rest of the list lives in a chain of DIFAT sectors. Some writers put FREESECT rather
  // than ENDOFCHAIN in "first DIFAT sector" when there is none; both end the list.
  std::uint32_t next = header_.firstDifatSector;
  while (fatSectors_.size() < header_.fatSectorCount) {
    if (next == kEndOfChain || next == kFreeSect)
      fail("DIFAT lists " + std::to_string(fatSectors_.size()) + " FAT sectors, header declares " +
           std::to_string(header_.fatSectorCount));
    if (difatSectors_.size() >= sectorCount_) fail("DIFAT sector chain loops");
    if (std::find(difatSectors_.begin(), difatSectors_.end(), next) != difatSectors_.end())
      fail("DIFAT sector chain loops at sector " + std::to_string(next));
    Bytes sector(sectorSize());
    readSector(next, 0, sector.data(), sector.size(), "DIFAT");
    const std::uint8_t* p = sector.data();
    difatSectors_.push_back(next);
    for (std::uint32_t i = 0; i + 1 < perSector && fatSectors_.size() < header_.fatSectorCount; ++i)
      fatSectors_.push_back(get32(p + 4 * i));
    next = get32(p + 4 * (perSector - 1));
  }
  for (std::size_t i = 0; i < fatSectors_.size(); ++i) {
    const std::uint32_t s = fatSectors_[i];
    if (s >= sectorCount_)
      fail("FAT sector " + std::to_string(i) + " is at sector id " + std::to_string(s) +
           ", out of range (the file has " + std::to_string(sectorCount_) + " sectors)");
    if (!fits(s, 0, sectorSize()))
      fail("FAT: sector " + std::to_string(s) + " lies past the end of the file (truncated)");
  }
  // One flat copy, so following a chain is an index per link (no larger than the file / 128).
  const Bytes raw = readSectors(fatSectors_, "FAT");
  fat_.resize(raw.size() / 4);
  for (std::size_t i = 0; i < fat_.size(); ++i) fat_[i] = get32(raw.data() + 4 * i);
}

std::uint32_t CompoundReader::fatEntry(std::uint32_t sector) const {
  if (sector >= fat_.size())
    fail("sector " + std::to_string(sector) + " has no FAT entry (the FAT has " +
         std::to_string(fatSectors_.size()) + " sectors)");
  return fat_[sector];
}

std::uint32_t CompoundReader::miniFatEntry(std::uint32_t mini) const {
  if (mini >= miniFat_.size()) fail("mini sector " + std::to_string(mini) + " has no mini FAT entry");
  return miniFat_[mini];
}

namespace {

std::string describeLink(std::uint32_t id) {
  switch (id) {
    case kFreeSect:
      return "a free sector";
    case kFatSect:
      return "a FAT sector marker";
    case kDifSect:
      return "a DIFAT sector marker";
    case kEndOfChain:
      return "the end-of-chain marker";
    default:
      return "sector id " + std::to_string(id);
  }
}

// The first id that occurs twice in `ids`, if any.
// An id met twice, if any; ids are below `limit`. Short chains are sorted, long ones marked.
std::optional<std::uint32_t> firstRepeat(const std::vector<std::uint32_t>& ids, std::uint64_t limit) {
  if (ids.size() < 256 || ids.size() * 64 < limit) {
    std::vector<std::uint32_t> sorted = ids;
    std::sort(sorted.begin(), sorted.end());
    const auto it = std::adjacent_find(sorted.begin(), sorted.end());
    if (it == sorted.end()) return std::nullopt;
    return *it;
  }
  std::vector<bool> seen(static_cast<std::size_t>(limit), false);
  for (const std::uint32_t id : ids) {
    if (seen[id]) return id;
    seen[id] = true;
  }
  return std::nullopt;
}

}  // namespace

std::vector<std::uint32_t> CompoundReader::chain(std::uint32_t start, std::optional<std::uint64_t> needed,
                                                 const Label& what) const {
  const auto label = [&] { return what(); };
  if (needed && *needed > sectorCount_)
    fail(label() + ": needs " + std::to_string(*needed) + " sectors but the file has only " +
         std::to_string(sectorCount_));
  std::vector<std::uint32_t> out;
  if (needed) out.reserve(static_cast<std::size_t>(*needed));
  std::uint32_t s = start;
  while (!needed || out.size() < *needed) {
    if (s == kEndOfChain) {
      if (needed)
        fail(label() + ": sector chain ends after " + std::to_string(out.size()) + " of " +
             std::to_string(*needed) + " sectors");
      break;
    }
    if (s >= sectorCount_)
      fail(label() + ": sector chain leads to " + describeLink(s) + ", out of range (the file has " +
           std::to_string(sectorCount_) + " sectors)");
    // A chain longer than the file has sectors must visit one twice.
    if (out.size() >= sectorCount_) fail(label() + ": sector chain loops at sector " + std::to_string(s));
    out.push_back(s);
    if (needed && out.size() == *needed) break;
    s = fatEntry(s);
  }
  if (const auto repeat = firstRepeat(out, sectorCount_))
    fail(label() + ": sector chain loops at sector " + std::to_string(*repeat));
  return out;
}

std::vector<std::uint32_t> CompoundReader::miniChain(std::uint32_t start, std::uint64_t needed,
                                                     const Label& what) const {
  const auto label = [&] { return what(); };
  const std::uint64_t miniCount = miniStreamSize() / kMiniSectorSize;
  if (needed > miniCount)
    fail(label() + ": needs " + std::to_string(needed) + " mini sectors but the mini stream has only " +
         std::to_string(miniCount));
  std::vector<std::uint32_t> out;
  out.reserve(static_cast<std::size_t>(needed));
  std::uint32_t m = start;
  while (out.size() < needed) {
    if (m >= miniCount)
      fail(label() + ": mini sector chain leads to " + describeLink(m) +
           ", out of range (the mini stream has " + std::to_string(miniCount) + " mini sectors)");
    out.push_back(m);
    if (out.size() == needed) break;
    m = miniFatEntry(m);
    if (m == kEndOfChain)
      fail(label() + ": mini sector chain ends after " + std::to_string(out.size()) + " of " +
           std::to_string(needed) + " mini sectors");
  }
  if (const auto repeat = firstRepeat(out, miniCount))
    fail(label() + ": mini sector chain loops at mini sector " + std::to_string(*repeat));
  return out;
}

void CompoundReader::loadDirectory() {
  dirSectors_ = chain(header_.firstDirSector, std::nullopt, [] { return std::string("directory"); });
  if (dirSectors_.empty()) fail("directory is empty (no root entry)");
  const std::size_t perSector = sectorSize() / kDirEntrySize;
  for (const std::uint32_t s : dirSectors_)
    if (!fits(s, 0, sectorSize()))
      fail("directory: sector " + std::to_string(s) + " lies past the end of the file (truncated)");
  const Bytes raw = readSectors(dirSectors_, "directory");
  entries_.reserve(dirSectors_.size() * perSector);
  for (std::size_t i = 0; i < dirSectors_.size() * perSector; ++i)
    entries_.push_back(DirectoryEntry::parse(raw.data() + i * kDirEntrySize, header_.major));
  const DirectoryEntry& root = entries_[0];
  if (root.type != kTypeRoot) fail("directory entry 0 is not the root storage");
  if (root.size > size_)
    fail("mini stream declares " + std::to_string(root.size) + " bytes, more than the file's " +
         std::to_string(size_));
  if (root.size > 0)
    miniStreamSectors_ =
        chain(root.start, sectorsFor(root.size, sectorSize()), [] { return std::string("mini stream"); });
  // The mini FAT is only needed when the mini stream holds something.
  if (header_.firstMiniFatSector != kEndOfChain && header_.firstMiniFatSector != kFreeSect && root.size > 0)
  {
    miniFatSectors_ = chain(header_.firstMiniFatSector, std::nullopt, [] { return std::string("mini FAT"); });
    // One flat copy, as for the FAT (no larger than the file / 16). Entries past the end of a
    // short last sector read as free, so a chain that reaches them is an error.
    const Bytes raw = readSectors(miniFatSectors_, "mini FAT");
    const std::size_t perSector = sectorSize() / 4;
    miniFat_.resize(raw.size() / 4);
    for (std::size_t k = 0; k < miniFatSectors_.size(); ++k) {
      const std::uint64_t at = (static_cast<std::uint64_t>(miniFatSectors_[k]) + 1) * sectorSize();
      const std::size_t held = static_cast<std::size_t>(std::min<std::uint64_t>(sectorSize(), size_ - at)) / 4;
      for (std::size_t i = 0; i < perSector; ++i)
        miniFat_[k * perSector + i] = i < held ? get32(raw.data() + 4 * (k * perSector + i)) : kFreeSect;
    }
  }
}

std::string CompoundReader::entryLabel(std::uint32_t id) const {
  Path path;
  for (std::uint32_t at = id;
       at != 0 && at < parent_.size() && parent_[at] != kNoStream && path.size() < entries_.size();
       at = parent_[at])
    path.push_back(entries_[at].name);
  std::reverse(path.begin(), path.end());
  return "`" + displayPath(path) + "`";
}

void CompoundReader::loadTree() {
  const std::size_t count = entries_.size();
  parent_.assign(count, kNoStream);
  children_.assign(count, {});
  byName_.assign(count, {});
  std::vector<bool> reached(count, false);
  reached[0] = true;
  std::vector<std::uint32_t> storages{0};
  std::vector<std::uint32_t> stack;
  // Each storage's children form a binary tree through the left/right links; walk it in order
  // without recursion (a hostile tree may be as deep as it has entries). An entry reached a
  // second time means the links form a cycle or share a subtree.
  while (!storages.empty()) {
    const std::uint32_t storage = storages.back();
    storages.pop_back();
    // Built only for a message: labels cost as much as the storage is deep.
    const auto where = [&] {
      return storage == 0 ? std::string("root storage") : "storage " + entryLabel(storage);
    };
    std::vector<std::uint32_t>& kids = children_[storage];
    const auto visit = [&](std::uint32_t id) {
      if (id >= count)
        fail("directory: " + where() + " links to entry " + std::to_string(id) +
             ", out of range (the directory has " + std::to_string(count) + " entries)");
      if (reached[id])
        fail("directory: entry " + std::to_string(id) + " is linked twice (a cycle in " + where() + ")");
      reached[id] = true;
      parent_[id] = storage;
      const DirectoryEntry& e = entries_[id];
      if (e.type != kTypeStorage && e.type != kTypeStream)
        fail("directory: entry " + std::to_string(id) + " in " + where() +
             (e.type == kTypeUnused ? " is unused" : " has bad type " + std::to_string(e.type)));
      if (!e.nameValid || e.name.empty())
        fail("directory: entry " + std::to_string(id) + " in " + where() + " has a bad name length");
    };
    std::uint32_t at = entries_[storage].child;
    while (at != kNoStream || !stack.empty()) {
      while (at != kNoStream) {
        visit(at);
        stack.push_back(at);
        at = entries_[at].left;
      }
      at = stack.back();
      stack.pop_back();
      kids.push_back(at);
      at = entries_[at].right;
    }
    std::vector<std::uint32_t>& sorted = byName_[storage];
    sorted = kids;
    std::sort(sorted.begin(), sorted.end(), [&](std::uint32_t a, std::uint32_t b) {
      return compareNames(entries_[a].name, entries_[b].name) < 0;
    });
    for (std::size_t i = 1; i < sorted.size(); ++i)
      if (compareNames(entries_[sorted[i - 1]].name, entries_[sorted[i]].name) == 0)
        fail("directory: " + where() + " holds two entries named `" + displayName(entries_[sorted[i]].name) +
             "`");
    for (const std::uint32_t id : kids) {
      const DirectoryEntry& e = entries_[id];
      if (e.isStorage()) {
        storages.push_back(id);
      } else if (e.size > size_) {
        fail("stream " + entryLabel(id) + " declares " + std::to_string(e.size) +
             " bytes, more than the file's " + std::to_string(size_));
      }
    }
  }
}

std::optional<std::uint32_t> CompoundReader::lookup(const Path& path) const {
  std::uint32_t at = 0;
  for (const auto& part : path) {
    if (!entries_[at].isStorage()) return std::nullopt;
    const auto& sorted = byName_[at];
    const auto it = std::lower_bound(
        sorted.begin(), sorted.end(), part,
        [&](std::uint32_t id, const std::u16string& n) { return compareNames(entries_[id].name, n) < 0; });
    if (it == sorted.end() || compareNames(entries_[*it].name, part) != 0) return std::nullopt;
    at = *it;
  }
  return at;
}

EntryInfo CompoundReader::info(std::uint32_t id) const {
  const DirectoryEntry& e = entries_[id];
  EntryInfo out;
  out.name = e.name;
  if (e.isStorage()) {
    out.kind = EntryKind::Storage;
    out.clsid = e.clsid;
  } else {
    out.kind = EntryKind::Stream;
    out.size = e.size;
  }
  return out;
}

std::uint32_t CompoundReader::requireStorage(const Path& storage) const {
  const auto id = lookup(storage);
  if (!id) fail("no storage `" + displayPath(storage) + "`");
  if (!entries_[*id].isStorage()) fail("`" + displayPath(storage) + "` is a stream, not a storage");
  return *id;
}

std::vector<EntryInfo> CompoundReader::list(const Path& storage) const {
  const std::uint32_t id = requireStorage(storage);
  std::vector<EntryInfo> out;
  out.reserve(children_[id].size());
  for (const std::uint32_t child : children_[id]) out.push_back(info(child));
  return out;
}

std::optional<EntryInfo> CompoundReader::find(const Path& entry) const {
  const auto id = lookup(entry);
  if (!id) return std::nullopt;
  return info(*id);
}

Bytes CompoundReader::read(const Path& stream) const {
  const auto id = lookup(stream);
  if (!id) fail("no stream `" + displayPath(stream) + "`");
  if (!entries_[*id].isStream()) fail("`" + displayPath(stream) + "` is a storage, not a stream");
  return readEntry(*id);
}

std::vector<std::uint32_t> CompoundReader::streamSectors(std::uint32_t id) const {
  const DirectoryEntry& e = entries_[id];
  if (e.size < kMiniStreamCutoff) return {};
  return chain(e.start, sectorsFor(e.size, sectorSize()), [&] { return "stream " + entryLabel(id); });
}

std::vector<std::uint32_t> CompoundReader::streamMiniSectors(std::uint32_t id) const {
  const DirectoryEntry& e = entries_[id];
  if (e.size == 0 || e.size >= kMiniStreamCutoff) return {};
  return miniChain(e.start, sectorsFor(e.size, kMiniSectorSize), [&] { return "stream " + entryLabel(id); });
}

Bytes CompoundReader::readEntry(std::uint32_t id) const {
  const DirectoryEntry& e = entries_[id];
  const auto label = [&] { return "stream " + entryLabel(id); };
  Bytes out;
  if (e.size == 0) return out;
  // Chains are followed (and checked) before the buffer is allocated, so the allocation is
  // bounded by what the file really holds.
  if (e.size >= kMiniStreamCutoff) {
    const auto sectors = streamSectors(id);
    std::vector<Piece> pieces;
    pieces.reserve(sectors.size());
    std::size_t done = 0;
    for (const std::uint32_t s : sectors) {
      const std::size_t n = std::min<std::size_t>(sectorSize(), static_cast<std::size_t>(e.size) - done);
      if (!fits(s, 0, n))
        fail(label() + ": sector " + std::to_string(s) + " lies past the end of the file (truncated)");
      pieces.push_back({(static_cast<std::uint64_t>(s) + 1) * sectorSize(), n, done});
      done += n;
    }
    out.resize(static_cast<std::size_t>(e.size));
    gather(pieces, out.data());
  } else {
    const auto minis = streamMiniSectors(id);
    std::vector<Piece> pieces;
    pieces.reserve(minis.size());
    std::size_t done = 0;
    for (const std::uint32_t m : minis) {
      const std::uint64_t at = static_cast<std::uint64_t>(m) * kMiniSectorSize;
      const std::size_t index = static_cast<std::size_t>(at / sectorSize());
      if (index >= miniStreamSectors_.size())
        fail(label() + ": mini sector " + std::to_string(m) + " lies past the mini stream");
      const std::size_t n = std::min<std::size_t>(kMiniSectorSize, static_cast<std::size_t>(e.size) - done);
      const std::uint32_t s = miniStreamSectors_[index];
      if (!fits(s, at % sectorSize(), n))
        fail(label() + ": mini sector " + std::to_string(m) + " lies past the end of the file (truncated)");
      pieces.push_back({(static_cast<std::uint64_t>(s) + 1) * sectorSize() + at % sectorSize(), n, done});
      done += n;
    }
    out.resize(static_cast<std::size_t>(e.size));
    gather(pieces, out.data());
  }
  return out;
}

}  // namespace msi::cfb
