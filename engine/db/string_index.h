// Lookup of string-pool ids by text: open addressing over a flat array of (hash, id) pairs.
// The texts themselves stay in the pool, which every call is given, so the index holds no
// copies and survives the pool being moved.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace msi {

// Where one text lies in a pool's bytes; a length of 0 is no text.
struct TextSpan {
  std::uint32_t offset = 0;
  std::uint32_t length = 0;
};

// The texts of a pool by id: a view over its bytes and spans, valid until the pool changes.
// A pool may keep its bytes in two blocks: offsets below the first block's size lie in it,
// the others in the second, counted on from the end of the first.
class PoolTexts {
 public:
  PoolTexts(const char* bytes, const std::vector<TextSpan>& spans) : low_(bytes), spans_(spans) {}
  PoolTexts(const char* low, std::size_t lowSize, const char* high, const std::vector<TextSpan>& spans)
      : low_(low), high_(high), lowSize_(lowSize), spans_(spans) {}
  std::size_t size() const { return spans_.size(); }
  std::string_view operator[](std::size_t id) const {
    const TextSpan& s = spans_[id];
    return {s.offset < lowSize_ ? low_ + s.offset : high_ + (s.offset - lowSize_), s.length};
  }

 private:
  const char* low_;
  const char* high_ = nullptr;
  std::size_t lowSize_ = static_cast<std::size_t>(-1);
  const std::vector<TextSpan>& spans_;
};

class StringIndex {
 public:
  using Texts = PoolTexts;

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

  std::vector<Slot> slots_;  // size: 0 or a power of two, at most three quarters full
  std::size_t used_ = 0;
};

}  // namespace msi
