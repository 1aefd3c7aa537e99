// Open addressing with linear probing over row positions.
#include "engine/mst/key_index.h"

#include <functional>
#include <string_view>

namespace msi::mst {
namespace {

std::uint64_t mix(std::uint64_t h, std::uint64_t v) {
  h ^= v + 0x9E3779B97F4A7C15ull + (h << 6) + (h >> 2);
  return h;
}

const Value& keyCell(const Row& row, std::size_t k) {
  static const Value null;
  return k < row.size() ? row[k] : null;
}

}  // namespace

std::uint64_t keyHash(const Row& row, const std::vector<std::size_t>& keys) {
  std::uint64_t h = 0;
  for (const std::size_t k : keys) {
    const Value& v = keyCell(row, k);
    if (v.isString()) {
      h = mix(h, std::hash<std::string_view>()(v.asString()));
    } else if (v.isInt()) {
      h = mix(h, static_cast<std::uint32_t>(v.asInt()) * 0xFF51AFD7ED558CCDull + 1);
    } else {
      h = mix(h, v.isNull() ? 2 : 3);
    }
  }
  return h;
}

bool sameKey(const Row& a, const Row& b, const std::vector<std::size_t>& keys) {
  for (const std::size_t k : keys) {
    const Value& x = keyCell(a, k);
    const Value& y = keyCell(b, k);
    // Binary cells are never keys; comparing them would load their data.
    if (x.isBlob() || y.isBlob()) {
      if (x.isBlob() != y.isBlob()) return false;
      continue;
    }
    if (!(x == y)) return false;
  }
  return true;
}

void KeyIndex::add(std::size_t i) {
  const Row& row = table_.row(i);
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t s = keyHash(row, keys_) & mask;; s = (s + 1) & mask) {
    if (slots_[s] == 0) {
      slots_[s] = static_cast<std::uint32_t>(i + 1);
      return;
    }
    if (sameKey(table_.row(slots_[s] - 1), row, keys_)) return;  // keep the first
  }
}

std::optional<std::size_t> KeyIndex::find(const Row& row) const {
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t s = keyHash(row, keys_) & mask;; s = (s + 1) & mask) {
    if (slots_[s] == 0) return std::nullopt;
    const std::size_t i = slots_[s] - 1;
    if (sameKey(table_.row(i), row, keys_)) return i;
  }
}

}  // namespace msi::mst
