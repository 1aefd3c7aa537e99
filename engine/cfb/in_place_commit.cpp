#include "engine/cfb/in_place_commit.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <deque>
#include <map>
#include <span>
#include <vector>

#include "engine/cfb/file_output.h"
#include "engine/cfb/sibling_tree.h"

namespace msi::cfb {
using namespace format;

namespace {

class ShadowCommit {
 public:
  ShadowCommit(const CompoundReader& base, const EntryNode& root, const std::filesystem::path& target,
               FileSystem& files)
      : base_(base),
        root_(root),
        target_(target),
        files_(files),
        name_(target.string()),
        ss_(base.sectorSize()),
        perSector_(base.sectorSize() / 4),
        fileSectors_(base.sectorCount()) {}

  void run() {
    open();
    try {
      // Until the header is written, only sectors the old state does not reach take new bytes.
      markOldState();
      numberEntries();
      placeLargeStreams();
      placeMiniStreams();
      placeDirectory();
      placeAllocationTables();
      writeQueued();
    } catch (const SystemFailure& f) {
      undo();
      fail(f.message(), ErrorKind::Io);
    } catch (const Error&) {
      undo();
      throw;
    }
    writeHeader();
  }

 private:
  [[noreturn]] void fail(const std::string& cause, ErrorKind kind = ErrorKind::BadData) const {
    throw Error(name_ + ": " + cause, kind);
  }

  // --- allocation ---

  void ensureFat(std::uint64_t sector) {
    if (sector >= fat_.size()) fat_.resize(static_cast<std::size_t>(sector + 1), kFreeSect);
  }

  // The next sector nothing in the old state uses (whatever its old FAT entry says), then
  // sectors past the end of the file.
  std::uint32_t allocate() {
    while (cursor_ < fileSectors_ && oldLive_[cursor_]) ++cursor_;
    if (cursor_ >= kMaxRegular) fail("file too large for a compound file", ErrorKind::Limit);
    const std::uint32_t s = cursor_++;
    ensureFat(s);
    return s;
  }

  void link(const std::vector<std::uint32_t>& chain) {
    for (std::size_t i = 0; i < chain.size(); ++i) {
      ensureFat(chain[i]);
      fat_[chain[i]] = i + 1 < chain.size() ? chain[i + 1] : kEndOfChain;
    }
  }

  // Queues a whole sector; shorter data is padded with zeros.
  void queue(std::uint32_t sector, std::span<const std::uint8_t> data) {
    if (data.size() < ss_) {
      Bytes& padded = owned_.emplace_back(ss_, 0);
      std::copy(data.begin(), data.end(), padded.begin());
      data = padded;
    }
    writes_[sector] = data;
  }
  void queue(std::uint32_t sector, Bytes data) {
    queue(sector, std::span<const std::uint8_t>(owned_.emplace_back(std::move(data))));
  }

  Bytes oldSector(std::uint32_t sector) const { return base_.readSectors({sector}, "in-place commit"); }

  // Whether a whole old sector equals `piece` padded with zeros to a sector.
  static bool sameContent(std::span<const std::uint8_t> old, std::span<const std::uint8_t> piece) {
    if (!std::equal(piece.begin(), piece.end(), old.begin())) return false;
    return std::all_of(old.begin() + static_cast<std::ptrdiff_t>(piece.size()), old.end(),
                       [](std::uint8_t b) { return b == 0; });
  }

  // --- the old state ---

  void markOldState() {
    oldLive_.assign(fileSectors_, false);
    const auto mark = [&](const std::vector<std::uint32_t>& sectors) {
      for (const std::uint32_t s : sectors)
        if (s < fileSectors_) oldLive_[s] = true;
    };
    mark(base_.fatSectors());
    mark(base_.difatSectors());
    mark(base_.directorySectors());
    mark(base_.miniFatSectors());
    mark(base_.miniStreamSectors());
    const auto& entries = base_.entries();
    oldReachable_.assign(entries.size(), false);
    oldReachable_[0] = true;
    std::vector<std::uint32_t> storages{0};
    while (!storages.empty()) {
      const std::uint32_t storage = storages.back();
      storages.pop_back();
      for (const std::uint32_t id : base_.children(storage)) {
        oldReachable_[id] = true;
        if (entries[id].isStorage())
          storages.push_back(id);
        else
          mark(base_.streamSectors(id));
      }
    }
    fat_.assign(fileSectors_, kFreeSect);
  }

  // --- directory entries ---

  void numberEntries() {
    const std::size_t oldCount = base_.entries().size();
    std::vector<const EntryNode*> order{&root_};
    for (std::size_t at = 0; at < order.size(); ++at)
      for (const auto& [name, child] : order[at]->children) order.push_back(child.get());
    std::vector<bool> used(oldCount, false);
    for (const EntryNode* node : order)
      if (node->baseId) used[*node->baseId] = true;
    // Entries keep their ids; new ones take the lowest free slots, so unchanged parts of the
    // directory stay byte-identical.
    std::uint32_t nextFree = 1;
    const auto freeId = [&]() -> std::uint32_t {
      while (nextFree < oldCount && used[nextFree]) ++nextFree;
      return nextFree++;
    };
    for (const EntryNode* node : order) {
      const std::uint32_t id = node->baseId ? *node->baseId : freeId();
      if (id >= nodeAt_.size()) nodeAt_.resize(id + 1, nullptr);
      nodeAt_[id] = node;
      idOf_[node] = id;
    }
    entries_.resize(nodeAt_.size());
    for (std::size_t id = 0; id < nodeAt_.size(); ++id) {
      const EntryNode* node = nodeAt_[id];
      if (!node) continue;
      DirectoryEntry& e = entries_[id];
      if (node->baseId) e = base_.entries()[*node->baseId];
      if (node != &root_) e.name = node->name;
      e.type = node == &root_ ? kTypeRoot : node->isStorage() ? kTypeStorage : kTypeStream;
      if (node->isStorage()) e.clsid = node->clsid;
      if (!node->baseId && node->isStorage()) e.start = 0;
    }
    for (std::size_t id = 0; id < nodeAt_.size(); ++id) {
      const EntryNode* node = nodeAt_[id];
      if (!node || !node->isStorage() || (node->baseId && !node->membershipChanged)) continue;
      std::vector<std::uint32_t> ids;
      for (const auto& [name, child] : node->children) ids.push_back(idOf_.at(child.get()));
      entries_[id].child = linkSiblings(ids, entries_);
    }
  }

  // --- stream data ---

  void placeLargeStreams() {
    for (std::size_t id = 0; id < nodeAt_.size(); ++id) {
      const EntryNode* node = nodeAt_[id];
      if (!node || node->isStorage()) continue;
      DirectoryEntry& e = entries_[id];
      if (!node->replaced) {
        if (node->baseSize >= kMiniStreamCutoff) {
          std::vector<std::uint32_t> chain = base_.streamSectors(*node->baseId);
          rewritePatchedSectors(*node, chain);
          link(chain);
          if (!chain.empty()) e.start = chain[0];
        }
        continue;
      }
      const std::uint64_t size = node->size();
      if (base_.header().major == 3 && size > 0xFFFFFFFFull)
        fail("stream `" + displayName(node->name) +
             "` is 4 GB or larger, more than a version 3 file can hold");
      e.size = size;
      if (size == 0) e.start = kEndOfChain;
      if (size < kMiniStreamCutoff) continue;
      // A sector whose content is what the old stream held at the same place is kept where it
      // is; only the others are written, to fresh sectors. A small change to a large stream
      // thus writes a few sectors, and the old state stays whole until the header switches.
      std::vector<std::uint32_t> oldChain;
      if (node->baseId && node->baseSize >= kMiniStreamCutoff) oldChain = base_.streamSectors(*node->baseId);
      const std::size_t count = static_cast<std::size_t>(sectorsFor(size, ss_));
      if (oldChain.size() > count) oldChain.resize(count);
      // The old sectors that could be kept are read a batch at a time (runs of sectors in one
      // read), so a large stream is never held a second time.
      constexpr std::size_t kBatch = 256;
      Bytes old;
      std::size_t oldFrom = 0;  // chain position of old's first sector
      std::vector<std::uint32_t> chain(count);
      std::size_t i = 0;  // the sector `piece` is
      const auto place = [&](std::span<const std::uint8_t> piece) {
        if (i < oldChain.size() && (old.empty() || i >= oldFrom + kBatch)) {
          oldFrom = i;
          const auto end = oldChain.begin() + static_cast<std::ptrdiff_t>(std::min(oldChain.size(), i + kBatch));
          old = base_.readSectors(std::vector<std::uint32_t>(oldChain.begin() + static_cast<std::ptrdiff_t>(i), end),
                                  "in-place commit");
        }
        if (i < oldChain.size() && sameContent(std::span(old).subspan((i - oldFrom) * ss_, ss_), piece)) {
          chain[i] = oldChain[i];
        } else {
          chain[i] = allocate();
          // Content made by a writer goes out now (to a sector the old state does not use),
          // so no more than a sector of it is held; other content is written from the node.
          if (node->writer)
            writeNow(chain[i], piece);
          else
            queue(chain[i], piece);
        }
        ++i;
      };
      if (node->writer) {
        Bytes sector;
        sector.reserve(ss_);
        node->produce(
            [&](const std::uint8_t* bytes, std::size_t n) {
              while (n > 0) {
                const std::size_t take = std::min<std::size_t>(n, ss_ - sector.size());
                sector.insert(sector.end(), bytes, bytes + take);
                bytes += take;
                n -= take;
                if (sector.size() == ss_) {
                  place(sector);
                  sector.clear();
                }
              }
            },
            name_);
        if (!sector.empty()) place(sector);
      } else {
        for (std::size_t at = 0; at < size; at += ss_) place(std::span(node->data).subspan(at, std::min<std::size_t>(ss_, size - at)));
      }
      link(chain);
      e.start = chain[0];
    }
  }

  // The sectors of a large base stream that its patches fall in go to fresh sectors holding
  // the old content with the patches laid over it; the rest of the chain stays.
  void rewritePatchedSectors(const EntryNode& node, std::vector<std::uint32_t>& chain) {
    std::map<std::size_t, Bytes> rewritten;  // by position in the chain
    for (const auto& [at, piece] : node.patches) {
      for (std::uint64_t done = 0; done < piece.size();) {
        const std::uint64_t pos = at + done;
        const std::size_t k = static_cast<std::size_t>(pos / ss_);
        if (k >= chain.size()) fail("a change to stream `" + displayName(node.name) + "` lies past its sectors");
        auto it = rewritten.find(k);
        if (it == rewritten.end()) {
          const auto old = oldSector(chain[k]);
          it = rewritten.emplace(k, Bytes(old.begin(), old.end())).first;
        }
        const std::size_t within = static_cast<std::size_t>(pos % ss_);
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(ss_ - within, piece.size() - done));
        std::copy_n(piece.begin() + static_cast<std::ptrdiff_t>(done), n, it->second.begin() + static_cast<std::ptrdiff_t>(within));
        done += n;
      }
    }
    for (auto& [k, content] : rewritten) {
      chain[k] = allocate();
      queue(chain[k], std::move(content));
    }
  }

  void placeMiniStreams() {
    const std::uint64_t oldMiniCount = base_.miniStreamSize() / kMiniSectorSize;
    std::vector<bool> used(static_cast<std::size_t>(oldMiniCount), false);
    std::vector<std::uint32_t> miniFat(static_cast<std::size_t>(oldMiniCount), kFreeSect);
    const auto linkMini = [&](const std::vector<std::uint32_t>& chain) {
      for (std::size_t i = 0; i < chain.size(); ++i) {
        if (chain[i] >= used.size()) {
          used.resize(chain[i] + 1, false);
          miniFat.resize(chain[i] + 1, kFreeSect);
        }
        used[chain[i]] = true;
        miniFat[chain[i]] = i + 1 < chain.size() ? chain[i + 1] : kEndOfChain;
      }
    };
    for (std::size_t id = 0; id < nodeAt_.size(); ++id) {
      const EntryNode* node = nodeAt_[id];
      if (node && !node->isStorage() && !node->replaced && node->baseSize > 0 &&
          node->baseSize < kMiniStreamCutoff)
        linkMini(base_.streamMiniSectors(*node->baseId));
    }
    // New small streams take free mini sectors first, including ones freed by this commit:
    // the regular sectors holding them are rewritten elsewhere, never in place.
    std::map<std::uint32_t, std::span<const std::uint8_t>> miniWrites;
    std::uint32_t cursor = 0;
    for (std::size_t id = 0; id < nodeAt_.size(); ++id) {
      const EntryNode* node = nodeAt_[id];
      if (!node || node->isStorage() || !node->replaced || node->size() == 0 || node->size() >= kMiniStreamCutoff)
        continue;
      const std::span<const std::uint8_t> content =
          node->writer ? node->content(owned_.emplace_back(), name_) : std::span<const std::uint8_t>(node->data);
      std::vector<std::uint32_t> chain;
      const std::size_t n = static_cast<std::size_t>(sectorsFor(content.size(), kMiniSectorSize));
      for (std::size_t i = 0; i < n; ++i) {
        while (cursor < used.size() && used[cursor]) ++cursor;
        chain.push_back(cursor++);
      }
      linkMini(chain);
      entries_[id].start = chain[0];
      for (std::size_t i = 0; i < n; ++i) {
        const std::size_t at = i * kMiniSectorSize;
        miniWrites[chain[i]] = content.subspan(at, std::min<std::size_t>(kMiniSectorSize, content.size() - at));
      }
    }

    std::uint64_t miniCount = used.size();
    while (miniCount > 0 && !used[miniCount - 1]) --miniCount;
    DirectoryEntry& root = entries_[0];
    if (miniCount == 0) {
      root.start = kEndOfChain;
      root.size = 0;
      miniFatSectors_.clear();
      return;
    }

    // The mini stream's regular sectors: unchanged ones stay, changed or new ones are written
    // to fresh sectors holding the old content with the new mini sectors laid over it.
    const auto& oldSectors = base_.miniStreamSectors();
    const std::size_t perRegular = ss_ / kMiniSectorSize;
    const std::size_t regularCount = static_cast<std::size_t>(sectorsFor(miniCount * kMiniSectorSize, ss_));
    std::vector<std::uint32_t> chain(regularCount);
    for (std::size_t i = 0; i < regularCount; ++i) {
      const auto first = miniWrites.lower_bound(static_cast<std::uint32_t>(i * perRegular));
      const bool touched = first != miniWrites.end() && first->first < (i + 1) * perRegular;
      if (i < oldSectors.size() && !touched) {
        chain[i] = oldSectors[i];
        continue;
      }
      Bytes content(ss_, 0);
      if (i < oldSectors.size()) {
        const auto old = oldSector(oldSectors[i]);
        std::copy(old.begin(), old.end(), content.begin());
      }
      for (auto it = first; it != miniWrites.end() && it->first < (i + 1) * perRegular; ++it)
        std::copy(it->second.begin(), it->second.end(),
                  content.begin() + (it->first - i * perRegular) * kMiniSectorSize);
      chain[i] = allocate();
      queue(chain[i], std::move(content));
    }
    link(chain);
    root.start = chain[0];
    root.size = miniCount * kMiniSectorSize;

    miniFat.resize(static_cast<std::size_t>(sectorsFor(miniCount, perSector_) * perSector_), kFreeSect);
    miniFatSectors_ = rewriteChanged(miniFat, base_.miniFatSectors());
    link(miniFatSectors_);
  }

  // Sectors for `ids` (a whole number of sectors of 32-bit values): where the content equals
  // the old sector at the same position, that sector is kept, otherwise a fresh one is written.
  std::vector<std::uint32_t> rewriteChanged(const std::vector<std::uint32_t>& ids,
                                            const std::vector<std::uint32_t>& oldSectors) {
    std::vector<std::uint32_t> out;
    for (std::size_t k = 0; k * perSector_ < ids.size(); ++k) {
      Bytes content(ss_);
      for (std::size_t i = 0; i < perSector_; ++i) put32(content.data() + 4 * i, ids[k * perSector_ + i]);
      if (k < oldSectors.size()) {
        const auto old = oldSector(oldSectors[k]);
        if (std::equal(old.begin(), old.end(), content.begin())) {
          out.push_back(oldSectors[k]);
          continue;
        }
      }
      out.push_back(allocate());
      queue(out.back(), std::move(content));
    }
    return out;
  }

  // --- directory ---

  void placeDirectory() {
    const std::size_t perSector = ss_ / kDirEntrySize;
    const auto& oldSectors = base_.directorySectors();
    const std::size_t oldCount = base_.entries().size();
    const std::size_t sectors = static_cast<std::size_t>(sectorsFor(entries_.size(), perSector));
    const Bytes oldDirectory = base_.readSectors(oldSectors, "directory");
    for (std::size_t k = 0; k < sectors; ++k) {
      Bytes content(ss_, 0);
      for (std::size_t i = 0; i < perSector; ++i) {
        const std::size_t id = k * perSector + i;
        std::uint8_t* p = content.data() + i * kDirEntrySize;
        const EntryNode* node = id < nodeAt_.size() ? nodeAt_[id] : nullptr;
        const bool hasOld = id < oldCount;
        if (hasOld && (!node || node->baseId)) {
          // Keep state bits, times and any bytes we do not model.
          std::copy_n(oldDirectory.data() + id * kDirEntrySize, kDirEntrySize, p);
        }
        if (node)
          entries_[id].store(p);
        else if (!hasOld || oldReachable_[id])
          DirectoryEntry::storeUnused(p);
      }
      if (k < oldSectors.size()) {
        const auto old = std::span(oldDirectory).subspan(k * ss_, ss_);
        if (std::equal(old.begin(), old.end(), content.begin())) {
          dirSectors_.push_back(oldSectors[k]);
          continue;
        }
      }
      dirSectors_.push_back(allocate());
      queue(dirSectors_.back(), std::move(content));
    }
    link(dirSectors_);
  }

  // --- FAT and DIFAT ---

  Bytes fatSectorContent(std::size_t index) const {
    Bytes content(ss_);
    for (std::size_t i = 0; i < perSector_; ++i) {
      const std::size_t at = index * perSector_ + i;
      put32(content.data() + 4 * i, at < fat_.size() ? fat_[at] : kFreeSect);
    }
    return content;
  }

  Bytes difatSectorContent(std::size_t index) const {
    Bytes content(ss_);
    for (std::size_t i = 0; i + 1 < perSector_; ++i) {
      const std::size_t at = kHeaderDifatSlots + index * (perSector_ - 1) + i;
      put32(content.data() + 4 * i, at < fatPos_.size() ? fatPos_[at] : kFreeSect);
    }
    put32(content.data() + 4 * (perSector_ - 1),
          index + 1 < difatPos_.size() ? difatPos_[index + 1] : kEndOfChain);
    return content;
  }

  // Whether FAT sector `index` would hold what it holds in the base file.
  bool sameFatEntries(std::size_t index) const {
    const auto& old = base_.fat();
    for (std::size_t i = 0; i < perSector_; ++i) {
      const std::size_t at = index * perSector_ + i;
      const std::uint32_t now = at < fat_.size() ? fat_[at] : kFreeSect;
      if (at >= old.size() || old[at] != now) return false;
    }
    return true;
  }

  // Moving a FAT sector changes FAT entries (its new and old places), which may change other
  // FAT sectors, and growing the file may need more FAT and DIFAT sectors: repeat until
  // nothing moves. Each sector moves at most once, so this ends.
  void placeAllocationTables() {
    const auto& oldFat = base_.fatSectors();
    const auto& oldDifat = base_.difatSectors();
    fatPos_ = oldFat;
    difatPos_ = oldDifat;
    std::vector<bool> fatFresh(fatPos_.size(), false), difatFresh(difatPos_.size(), false);
    for (const std::uint32_t s : fatPos_) {
      ensureFat(s);
      fat_[s] = kFatSect;
    }
    for (const std::uint32_t s : difatPos_) {
      ensureFat(s);
      fat_[s] = kDifSect;
    }
    for (bool moved = true; moved;) {
      moved = false;
      while (fatPos_.size() < sectorsFor(fat_.size(), perSector_)) {
        const std::uint32_t s = allocate();
        fat_[s] = kFatSect;
        fatPos_.push_back(s);
        fatFresh.push_back(true);
        moved = true;
      }
      const std::size_t difatNeeded =
          fatPos_.size() > kHeaderDifatSlots
              ? static_cast<std::size_t>(sectorsFor(fatPos_.size() - kHeaderDifatSlots, perSector_ - 1))
              : 0;
      while (difatPos_.size() < difatNeeded) {
        const std::uint32_t s = allocate();
        fat_[s] = kDifSect;
        difatPos_.push_back(s);
        difatFresh.push_back(true);
        moved = true;
      }
      for (std::size_t i = 0; i < fatPos_.size(); ++i) {
        if (fatFresh[i] || sameFatEntries(i)) continue;
        fatPos_[i] = allocate();
        fat_[fatPos_[i]] = kFatSect;
        fat_[oldFat[i]] = kFreeSect;
        fatFresh[i] = true;
        moved = true;
      }
      for (std::size_t i = 0; i < difatPos_.size(); ++i) {
        if (difatFresh[i]) continue;
        const auto old = oldSector(oldDifat[i]);
        const Bytes now = difatSectorContent(i);
        if (std::equal(old.begin(), old.end(), now.begin())) continue;
        difatPos_[i] = allocate();
        fat_[difatPos_[i]] = kDifSect;
        fat_[oldDifat[i]] = kFreeSect;
        difatFresh[i] = true;
        moved = true;
      }
    }
    for (std::size_t i = 0; i < fatPos_.size(); ++i)
      if (fatFresh[i]) queue(fatPos_[i], fatSectorContent(i));
    for (std::size_t i = 0; i < difatPos_.size(); ++i)
      if (difatFresh[i]) queue(difatPos_[i], difatSectorContent(i));
  }

  Header newHeader() const {
    Header h = base_.header();
    h.fatSectorCount = static_cast<std::uint32_t>(fatPos_.size());
    h.difat.fill(kFreeSect);
    for (std::size_t i = 0; i < kHeaderDifatSlots && i < fatPos_.size(); ++i) h.difat[i] = fatPos_[i];
    h.firstDifatSector = difatPos_.empty() ? kEndOfChain : difatPos_[0];
    h.difatSectorCount = static_cast<std::uint32_t>(difatPos_.size());
    h.firstDirSector = dirSectors_[0];
    h.dirSectorCount = static_cast<std::uint32_t>(dirSectors_.size());
    h.firstMiniFatSector = miniFatSectors_.empty() ? kEndOfChain : miniFatSectors_[0];
    h.miniFatSectorCount = static_cast<std::uint32_t>(miniFatSectors_.size());
    return h;
  }

  // --- writing ---

  // Opens the target, checks it is still the file `base_` read, and makes a short last sector
  // whole (the missing bytes read as zeros already, so the old state does not change, and the
  // sectors after it are then appended where the new FAT says they are).
  void open() {
    if (const int error = files_.openExisting(target_, file_))
      fail(std::string("cannot open for writing: ") + std::strerror(error), ErrorKind::Io);
    FileIdentity now;
    if (const int error = file_->identify(now)) fail(std::string("cannot examine: ") + std::strerror(error), ErrorKind::Io);
    if (now != base_.file()->identity())
      fail("changed on disk since it was opened; reopen it before committing", ErrorKind::Constraint);
    try {
      const FileIdentity& was = base_.file()->identity();
      const std::uint64_t whole = (static_cast<std::uint64_t>(fileSectors_) + 1) * ss_;
      if (was.size < whole) {
        const Bytes zeros(static_cast<std::size_t>(whole - was.size), 0);
        writeAt(*file_, was.size, zeros.data(), zeros.size());
      }
    } catch (const SystemFailure& f) {
      undo();
      fail(f.message(), ErrorKind::Io);
    }
  }

  // After a failure before the header: nothing reachable changed, so drop what was appended
  // and put the modification time back; the file is as it was (and the same base can be
  // committed again).
  void undo() {
    const FileIdentity& was = base_.file()->identity();
    if (file_->truncate(was.size) == 0) {
      file_->setModified(was.modifiedNs);
      file_->sync();
    }
  }

  // Writes a sector now, in a run with the sectors written just before it when they follow
  // one another; shorter data is padded with zeros.
  void writeNow(std::uint32_t sector, std::span<const std::uint8_t> data) {
    if (run_.empty() || sector != runStart_ + run_.size() / ss_ || run_.size() >= kRunBytes) {
      flushRun();
      runStart_ = sector;
    }
    run_.insert(run_.end(), data.begin(), data.end());
    run_.resize(run_.size() + (ss_ - data.size()), 0);
  }
  void flushRun() {
    if (!run_.empty()) writeAt(*file_, (runStart_ + 1) * ss_, run_.data(), run_.size());
    run_.clear();
  }

  // The queued sectors, in runs of consecutive ones, then a flush to disk.
  void writeQueued() {
    flushRun();
    for (const auto& [sector, data] : writes_) writeNow(sector, data);
    flushRun();
    syncData(*file_);
  }

  // The one write that makes the new state the file's.
  void writeHeader() {
    std::uint8_t header[kHeaderFieldsSize];
    std::copy_n(base_.headerBytes().data(), kHeaderFieldsSize, header);
    newHeader().store(header);
    try {
      writeAt(*file_, 0, header, sizeof header);
      syncData(*file_);
      closeFile(*file_);
    } catch (const SystemFailure& f) {
      fail(f.message() + " (while writing the header)", ErrorKind::Io);
    }
  }

  const CompoundReader& base_;
  const EntryNode& root_;
  const std::filesystem::path& target_;
  FileSystem& files_;
  std::string name_;
  const std::uint32_t ss_;
  const std::uint32_t perSector_;
  const std::uint32_t fileSectors_;

  std::vector<bool> oldLive_;
  std::vector<bool> oldReachable_;
  std::vector<std::uint32_t> fat_;
  std::uint32_t cursor_ = 0;

  std::vector<const EntryNode*> nodeAt_;
  std::map<const EntryNode*, std::uint32_t> idOf_;
  std::vector<DirectoryEntry> entries_;
  std::vector<std::uint32_t> dirSectors_;
  std::vector<std::uint32_t> miniFatSectors_;
  std::vector<std::uint32_t> fatPos_;
  std::vector<std::uint32_t> difatPos_;

  std::unique_ptr<WritableFile> file_;
  static constexpr std::size_t kRunBytes = 1u << 20;
  Bytes run_;
  std::uint64_t runStart_ = 0;

  std::deque<Bytes> owned_;
  std::map<std::uint32_t, std::span<const std::uint8_t>> writes_;
};

}  // namespace

void commitInPlace(const CompoundReader& base, const EntryNode& root, const std::filesystem::path& target,
                   FileSystem& files) {
  if (!base.file()) throw Error(target.string() + ": in-place commit needs a file on disk");
  ShadowCommit(base, root, target, files).run();
}

}  // namespace msi::cfb
