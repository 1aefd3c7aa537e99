// Lookup of string-pool ids by text: open addressing over a flat array of (hash, id) pairs.
// The texts themselves stay in the pool's vector, which every call is given, so the index
// holds no copies and survives the pool being moved.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace msi {

class StringIndex {
 public:
  using Texts = std::vector<std::string>;

  // The id whose text equals `s`; 0 when none.
  std::uint32_t find(std::string_view s, const Texts& texts) const;
  // Adds `id` unless its text is indexed already; returns the id that holds the text now.
  std::uint32_t insert(std::uint32_t id, const Texts& texts);
  // Indexes every non-empty text of `texts` in id order; returns whether any text repeats an
  // earlier one (the earlier id keeps it). Faster than inserting one by one.
  bool build(const Texts& texts);
  // Removes `id`; no effect when its text is indexed under another id or not at all.
  void erase(std::uint32_t id, const Texts& texts);
  // Makes room for `count` ids without growing again.
  void reserve(std::size_t count);

 private:
  struct Slot {
    std::uint32_t hash = 0;
    std::uint32_t id = 0;  // 0: empty
  };
  static std::uint32_t hashOf(std::string_view s);
  std::uint32_t insertHashed(std::uint32_t id, std::uint32_t hash, const Texts& texts);
  void grow(std::size_t capacity);
  std::size_t mask() const { return slots_.size() - 1; }

  std::vector<Slot> slots_;  // size: 0 or a power of two, at most half full
  std::size_t used_ = 0;
};

}  // namespace msi
