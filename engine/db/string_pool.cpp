// String pool: parsing (both long-string layouts in the wild), interning and writing.
#include "engine/db/string_pool.h"
#include "engine/text/quoting.h"

#include <algorithm>
#include <utility>

namespace msi {
namespace {

constexpr std::uint32_t kLongRefsFlag = 0x80000000u;
constexpr std::uint32_t kLongStringMin = 0x10000;

std::uint16_t u16At(const Bytes& b, std::size_t off) {
  return static_cast<std::uint16_t>(b[off] | (b[off + 1] << 8));
}

// Spans reserved beyond those of a pool read or copied whole.
std::size_t spanHeadroom(std::size_t spans) { return spans / 32 + 1024; }

void putU16(Bytes& b, std::uint32_t v) {
  b.push_back(static_cast<std::uint8_t>(v & 0xFF));
  b.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
}

}  // namespace

StringPool::StringPool(int codepage) : codepage_(codepage) {}

void StringPool::setCodepage(int codepage) {
  codepage_ = Codepage(codepage);
  needsWrite_ = true;
  textsChanged_ = true;
}

void StringPool::setCounts(std::vector<std::uint32_t> persistent, std::vector<std::uint32_t> temporary) {
  refs_ = std::move(persistent);
  tempRefs_ = std::move(temporary);
  counted_ = true;
  needsWrite_ = true;
  candidates_.clear();
}

void StringPool::forgetCounts() {
  counted_ = false;
  refs_.clear();
  tempRefs_.clear();
  candidates_.clear();
}

void StringPool::addRef(std::uint32_t id, bool temporary) {
  if (!counted_ || id == 0) return;
  auto& counts = temporary ? tempRefs_ : refs_;
  if (id >= counts.size()) counts.resize(temporary ? id + 1 : std::max<std::size_t>(id + 1, spans_.size()), 0);
  ++counts[id];
  if (!temporary) needsWrite_ = true;
}

void StringPool::dropRef(std::uint32_t id, bool temporary) {
  if (!counted_ || id == 0) return;
  auto& counts = temporary ? tempRefs_ : refs_;
  if (id >= counts.size() || counts[id] == 0) {
    // The counts no longer describe the rows; count again at the next commit.
    forgetCounts();
    return;
  }
  if (--counts[id] == 0) candidates_.push_back(id);
  if (!temporary) needsWrite_ = true;
}

bool StringPool::referenced(std::uint32_t id) const {
  return (id < refs_.size() && refs_[id] > 0) || (id < tempRefs_.size() && tempRefs_[id] > 0);
}

std::vector<std::uint32_t> StringPool::takeReleaseCandidates() { return std::exchange(candidates_, {}); }

std::uint32_t StringPool::find(std::string_view s) const {
  if (s.empty()) return 0;
  if (const auto id = ids_.find(s, texts())) return id;
  return findShared(s).second;
}

std::pair<std::uint32_t, std::uint32_t> StringPool::findShared(std::string_view s) const {
  if (!shared_) return {0, 0};
  const std::uint32_t shared = shared_->ids.find(s, PoolTexts(shared_->bytes.data(), *shared_->spans));
  if (shared == 0) return {0, 0};
  std::uint32_t id = shared;
  if (borrowed_) id = shared < sharedIds_.size() ? sharedIds_[shared] : 0;
  // The id holds the shared text unless it was released (or released and reused) since.
  const TextSpan& span = (*shared_->spans)[shared];
  if (id == 0 || id >= spans_.size() || spans_[id].offset != span.offset || spans_[id].length != span.length)
    id = 0;
  return {shared, id};
}

TextSpan StringPool::store(std::string_view s) {
  if (sharedSize_ + bytes_.size() + s.size() > 0xFFFFFFFFu) throw Error("the string pool would exceed 4 GiB");
  const TextSpan span{static_cast<std::uint32_t>(sharedSize_ + bytes_.size()), static_cast<std::uint32_t>(s.size())};
  // Growing by a quarter rather than doubling: a pool is the largest block a database holds,
  // and doubling leaves up to half of it unused. The copies stay linear in the bytes stored.
  if (bytes_.size() + s.size() > bytes_.capacity()) {
    constexpr std::size_t kMinGrowth = std::size_t{64} << 10;
    bytes_.reserve(bytes_.size() + std::max({s.size(), bytes_.size() / 4, kMinGrowth}));
  }
  bytes_.insert(bytes_.end(), s.begin(), s.end());
  return span;
}

void StringPool::compactIfSparse() {
  constexpr std::size_t kMinGarbage = 1 << 16;
  if (garbage_ < kMinGarbage || garbage_ * 2 < bytes_.size()) return;
  std::vector<char> packed;
  packed.reserve(bytes_.size() - garbage_);
  for (TextSpan& span : spans_.edit()) {
    if (span.length == 0 || span.offset < sharedSize_) continue;
    const auto offset = static_cast<std::uint32_t>(sharedSize_ + packed.size());
    const auto from = bytes_.begin() + (span.offset - sharedSize_);
    packed.insert(packed.end(), from, from + span.length);
    span.offset = offset;
  }
  bytes_ = std::move(packed);
  garbage_ = 0;
}

std::uint32_t StringPool::intern(std::string_view s) {
  if (s.empty()) return 0;
  if (const auto id = ids_.find(s, texts())) return id;
  const auto [shared, found] = findShared(s);
  if (found) return found;
  // A pool that borrows another's texts points at them rather than storing its own copy.
  const bool borrow = borrowed_ && shared != 0;
  const TextSpan span = borrow ? (*shared_->spans)[shared] : store(s);
  std::uint32_t id;
  if (!holes_.empty()) {
    id = *holes_.begin();
    holes_.erase(holes_.begin());
  } else {
    id = size();
    // By a quarter, as the bytes grow: a pool read from a file holds its spans exactly, and
    // the first string added would otherwise double them.
    auto& spans = spans_.edit();
    if (spans.size() == spans.capacity()) spans.reserve(spans.size() + std::max<std::size_t>(spans.size() / 4, 1024));
    spans.emplace_back();
  }
  spans_.edit()[id] = span;
  if (borrow) {
    if (sharedIds_.size() <= shared) sharedIds_.resize(shared_->spans->size(), 0);
    sharedIds_[shared] = id;
  } else {
    ids_.insert(id, texts());
  }
  textsChanged_ = true;
  if (counted_) candidates_.push_back(id);
  return id;
}

void StringPool::release(std::uint32_t id) {
  if (!has(id)) return;
  ids_.erase(id, texts());
  textsChanged_ = true;
  if (spans_[id].offset >= sharedSize_) garbage_ += spans_[id].length;
  spans_.edit()[id] = TextSpan{};
  // Trailing holes shrink the pool instead, so ids stay dense.
  if (id + 1 == spans_.size()) {
    spans_.edit().pop_back();
    while (spans_.size() > 1 && spans_.back().length == 0) {
      holes_.erase(static_cast<std::uint32_t>(spans_.size() - 1));
      spans_.edit().pop_back();
    }
  } else {
    holes_.insert(id);
  }
  compactIfSparse();
}

StringPool StringPool::parse(const Bytes& pool, const Bytes& data, std::string_view where) {
  const std::string at(where);
  if (pool.size() % 4 != 0)
    throw Error(at + ": _StringPool size " + std::to_string(pool.size()) +
                " is not a multiple of 4");
  std::uint32_t header = 0;
  if (pool.size() >= 4) header = u16At(pool, 0) | (std::uint32_t(u16At(pool, 2)) << 16);
  const int cp = static_cast<int>(header & ~kLongRefsFlag);
  if (!Codepage::supported(cp))
    throw Error(at + ": string pool codepage " + std::to_string(cp) + " is not supported");
  StringPool sp(cp);
  sp.longRefs_ = (header & kLongRefsFlag) != 0;

  // A long string takes two slots; writers disagree on which half holds the refcount, so
  // both readings are kept and the one whose lengths add up to the data size wins.
  struct Entry {
    std::uint32_t length = 0;     // short strings; the first reading for long ones
    std::uint32_t altLength = 0;  // the second reading for long ones
    bool isLong = false;
    bool hole = false;
  };
  std::vector<Entry> entries;
  const std::size_t slots = pool.size() / 4;
  entries.reserve(slots);
  bool anyLong = false;
  for (std::size_t i = 1; i < slots; ++i) {
    const std::uint16_t len = u16At(pool, i * 4);
    const std::uint16_t refs = u16At(pool, i * 4 + 2);
    Entry e;
    if (len == 0 && refs == 0) {
      e.hole = true;
    } else if (len == 0) {
      if (i + 1 >= slots)
        throw Error(at + ": string pool ends inside the entry of long string " +
                    std::to_string(entries.size() + 1));
      ++i;
      const std::uint16_t lo = u16At(pool, i * 4);
      const std::uint16_t hi = u16At(pool, i * 4 + 2);
      e.isLong = anyLong = true;
      e.length = (std::uint32_t(refs) << 16) | lo;  // first half (0, high word), then (low, refs)
      e.altLength = (std::uint32_t(hi) << 16) | lo;  // first half (0, refs), then the length
    } else {
      e.length = len;
    }
    entries.push_back(e);
  }
  const auto total = [&](bool alt) {
    std::uint64_t sum = 0;
    for (const auto& e : entries) sum += e.hole ? 0 : (alt && e.isLong ? e.altLength : e.length);
    return sum;
  };
  bool alt = false;
  if (total(false) != data.size()) {
    if (anyLong && total(true) == data.size()) {
      alt = true;
    } else {
      throw Error(at + ": string pool lengths add up to " + std::to_string(total(false)) +
                  " bytes but _StringData holds " + std::to_string(data.size()));
    }
  }

  // Room for the strings a session adds, so that its first ones do not move every span while
  // the old and new blocks are both alive.
  sp.spans_.edit().reserve(entries.size() + 1 + spanHeadroom(entries.size()));
  sp.bytes_.reserve(data.size());
  std::size_t offset = 0;
  for (const auto& e : entries) {
    const std::uint32_t id = sp.size();
    sp.spans_.edit().emplace_back();
    if (e.hole) {
      sp.holes_.insert(id);
      continue;
    }
    const std::uint32_t len = alt && e.isLong ? e.altLength : e.length;
    if (len == 0) {  // a long-string entry of no length names nothing
      sp.holes_.insert(id);
      continue;
    }
    const std::string_view stored(reinterpret_cast<const char*>(data.data()) + offset, len);
    offset += len;
    // ASCII reads the same in every supported codepage.
    const TextSpan span = isAscii(stored) ? sp.store(stored) : sp.store(sp.codepage_.decode(stored));
    sp.spans_.edit()[id] = span;  // text that decodes to nothing names no string
  }
  while (sp.spans_.size() > 1 && sp.spans_.back().length == 0) {
    sp.holes_.erase(static_cast<std::uint32_t>(sp.spans_.size() - 1));
    sp.spans_.edit().pop_back();
  }
  // The headroom reserved above stays: the first strings a session adds go into it.
  // A duplicate keeps the first id for lookups; tables using the other are renumbered.
  sp.duplicates_ = sp.ids_.build(sp.texts());
  sp.textsChanged_ = false;  // as the file holds them
  return sp;
}

void StringPool::freeze() {
  if (shared_) return;
  auto shared = std::make_shared<SharedTexts>();
  // Moving keeps the bytes where they are, so views handed out stay valid.
  shared->bytes = std::move(bytes_);
  shared->spans = spans_.share();
  shared->ids = std::move(ids_);
  bytes_ = {};
  ids_ = StringIndex();
  garbage_ = 0;
  sharedSize_ = shared->bytes.size();
  shared_ = std::move(shared);
}

std::optional<StringPool> StringPool::fork() {
  if (borrowed_ || (shared_ && !bytes_.empty())) return std::nullopt;
  freeze();
  StringPool copy(*this);
  copy.forgetCounts();
  copy.needsWrite_ = needsWrite_;
  copy.textsChanged_ = textsChanged_;
  return copy;
}

void StringPool::shareTextsOf(StringPool& other) {
  if (size() > 1 || &other == this || other.borrowed_) return;
  other.freeze();
  shared_ = other.shared_;
  sharedSize_ = other.sharedSize_;
  borrowed_ = true;
  // A copy of `other`'s tables comes: room for as many ids as it has and a few more.
  spans_.edit().reserve(other.spans_.size() + spanHeadroom(other.spans_.size()));
  sharedIds_.clear();
  bytes_.clear();
  garbage_ = 0;
  ids_ = StringIndex();
  duplicates_ = false;
  textsChanged_ = true;
}

std::uint32_t StringPool::lastWritten(const std::vector<std::uint32_t>& refcounts) const {
  std::uint32_t last = 0;
  for (std::uint32_t id = 1; id < size() && id < refcounts.size(); ++id)
    if (refcounts[id] > 0 && has(id)) last = id;
  return last;
}

std::string_view StringPool::storedText(std::uint32_t id, std::string& converted, std::string_view where) const {
  const std::string_view text = at(id);
  // Every supported codepage writes ASCII as it is; only other text needs converting.
  if (isAscii(text)) return text;
  auto encoded = codepage_.encode(text);
  if (!encoded)
    throw Error(std::string(where) + ": string " + text::backticked(text, 60) + " cannot be written in codepage " +
                std::to_string(codepage_.id()));
  converted = std::move(*encoded);
  return converted;
}

Bytes StringPool::serializePool(const std::vector<std::uint32_t>& refcounts, bool longRefs, std::string_view where,
                                std::uint64_t& dataSize) const {
  Bytes pool;
  dataSize = 0;
  const std::uint32_t last = lastWritten(refcounts);
  const std::uint32_t header = static_cast<std::uint32_t>(codepage_.id()) | (longRefs ? kLongRefsFlag : 0);
  pool.reserve((last + 1) * 4);
  putU16(pool, header & 0xFFFF);
  putU16(pool, header >> 16);
  std::string converted;
  for (std::uint32_t id = 1; id <= last; ++id) {
    if (refcounts[id] == 0 || !has(id)) {
      putU16(pool, 0);
      putU16(pool, 0);
      continue;
    }
    const auto len = static_cast<std::uint32_t>(storedText(id, converted, where).size());
    const std::uint32_t refs = refcounts[id] > 0xFFFF ? 0xFFFF : refcounts[id];
    if (len >= kLongStringMin) {
      putU16(pool, 0);
      putU16(pool, len >> 16);
      putU16(pool, len & 0xFFFF);
    } else {
      putU16(pool, len);
    }
    putU16(pool, refs);
    dataSize += len;
  }
  return pool;
}

void StringPool::writeData(const std::vector<std::uint32_t>& refcounts, std::string_view where,
                           const std::function<void(const std::uint8_t*, std::size_t)>& sink) const {
  // Handed on in pieces of this size, so that the whole stream is never held.
  constexpr std::size_t kPiece = 64 * 1024;
  Bytes piece;
  piece.reserve(kPiece);
  const auto flush = [&] {
    if (!piece.empty()) sink(piece.data(), piece.size());
    piece.clear();
  };
  const std::uint32_t last = lastWritten(refcounts);
  std::string converted;
  for (std::uint32_t id = 1; id <= last; ++id) {
    if (refcounts[id] == 0 || !has(id)) continue;
    const std::string_view bytes = storedText(id, converted, where);
    if (piece.size() + bytes.size() > kPiece) flush();
    if (bytes.size() > kPiece) {
      sink(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
      continue;
    }
    piece.insert(piece.end(), bytes.begin(), bytes.end());
  }
  flush();
}

StringPool::Streams StringPool::serialize(const std::vector<std::uint32_t>& refcounts, bool longRefs,
                                          std::string_view where) const {
  Streams out;
  std::uint64_t dataSize = 0;
  out.pool = serializePool(refcounts, longRefs, where, dataSize);
  out.data.reserve(static_cast<std::size_t>(dataSize));
  writeData(refcounts, where, [&](const std::uint8_t* bytes, std::size_t count) {
    out.data.insert(out.data.end(), bytes, bytes + count);
  });
  return out;
}

}  // namespace msi
