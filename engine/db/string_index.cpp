// Linear probing with backward-shift deletion, so no tombstones pile up as strings come and go.
#include "engine/db/string_index.h"

#include <algorithm>
#include <functional>

namespace msi {

std::uint32_t StringIndex::hashOf(std::string_view s) {
  const std::size_t h = std::hash<std::string_view>()(s);
  return static_cast<std::uint32_t>(h ^ (h >> 32));
}

std::uint32_t StringIndex::find(std::string_view s, const Texts& texts) const {
  if (slots_.empty()) return 0;
  const std::uint32_t h = hashOf(s);
  for (std::size_t i = h & mask();; i = (i + 1) & mask()) {
    const Slot& slot = slots_[i];
    if (slot.id == 0) return 0;
    if (slot.hash == h && slot.id < texts.size() && texts[slot.id] == s) return slot.id;
  }
}

void StringIndex::reserve(std::size_t count) {
  std::size_t capacity = 16;
  while (3 * capacity < 4 * count) capacity *= 2;
  if (capacity > slots_.size()) grow(capacity);
}

void StringIndex::grow(std::size_t capacity) {
  std::vector<Slot> old = std::move(slots_);
  slots_.assign(capacity, Slot{});
  for (const Slot& slot : old) {
    if (slot.id == 0) continue;
    std::size_t i = slot.hash & mask();
    while (slots_[i].id != 0) i = (i + 1) & mask();
    slots_[i] = slot;
  }
}

std::uint32_t StringIndex::insert(std::uint32_t id, const Texts& texts) {
  if (id == 0 || id >= texts.size()) return 0;
  return insertHashed(id, hashOf(texts[id]), texts);
}

bool StringIndex::build(const Texts& texts) {
  std::size_t count = 0;
  for (std::size_t id = 1; id < texts.size(); ++id) count += !texts[id].empty();
  reserve(used_ + count);
  // The slot a text goes to is a cache miss; hashing a batch first and asking for its slots
  // early lets the misses overlap.
  constexpr std::size_t kBatch = 16;
  std::uint32_t hashes[kBatch];
  bool repeats = false;
  for (std::size_t start = 1; start < texts.size(); start += kBatch) {
    const std::size_t end = std::min(texts.size(), start + kBatch);
    for (std::size_t id = start; id < end; ++id) {
      hashes[id - start] = hashOf(texts[id]);
      __builtin_prefetch(&slots_[hashes[id - start] & mask()]);
    }
    for (std::size_t id = start; id < end; ++id) {
      if (texts[id].empty()) continue;
      const auto n = static_cast<std::uint32_t>(id);
      if (insertHashed(n, hashes[id - start], texts) != n) repeats = true;
    }
  }
  return repeats;
}

std::uint32_t StringIndex::insertHashed(std::uint32_t id, std::uint32_t h, const Texts& texts) {
  if (4 * (used_ + 1) > 3 * slots_.size()) grow(slots_.empty() ? 16 : 2 * slots_.size());
  const std::string_view text = texts[id];
  std::size_t i = h & mask();
  for (; slots_[i].id != 0; i = (i + 1) & mask())
    if (slots_[i].hash == h && slots_[i].id < texts.size() && texts[slots_[i].id] == text) return slots_[i].id;
  slots_[i] = Slot{h, id};
  ++used_;
  return id;
}

void StringIndex::erase(std::uint32_t id, const Texts& texts) {
  if (slots_.empty() || id == 0 || id >= texts.size()) return;
  const std::uint32_t h = hashOf(texts[id]);
  std::size_t i = h & mask();
  while (slots_[i].id != id) {
    if (slots_[i].id == 0) return;
    i = (i + 1) & mask();
  }
  // Pull later members of the probe run back over the gap, so every one stays reachable
  // from its home slot.
  for (std::size_t j = (i + 1) & mask(); slots_[j].id != 0; j = (j + 1) & mask()) {
    const std::size_t home = slots_[j].hash & mask();
    const bool between = i <= j ? (i < home && home <= j) : (i < home || home <= j);
    if (between) continue;
    slots_[i] = slots_[j];
    i = j;
  }
  slots_[i] = Slot{};
  --used_;
}

}  // namespace msi
