#include "engine/cfb/sibling_tree.h"

#include <bit>

namespace msi::cfb {
namespace {

struct Builder {
  const std::vector<std::uint32_t>& ids;
  std::vector<DirectoryEntry>& entries;
  unsigned deepest;  // depth of the deepest level (0 = root)

  // Middle-split: subtree sizes differ by at most one, so every empty link sits on one of
  // the two lowest levels and the black height is the same along every path.
  std::uint32_t build(std::size_t lo, std::size_t hi, unsigned depth) {
    if (lo >= hi) return format::kNoStream;
    const std::size_t mid = lo + (hi - lo) / 2;
    DirectoryEntry& e = entries[ids[mid]];
    e.left = build(lo, mid, depth + 1);
    e.right = build(mid + 1, hi, depth + 1);
    e.colour = depth == deepest && depth > 0 ? format::kRed : format::kBlack;
    return ids[mid];
  }
};

}  // namespace

std::uint32_t linkSiblings(const std::vector<std::uint32_t>& ids, std::vector<DirectoryEntry>& entries) {
  if (ids.empty()) return format::kNoStream;
  Builder b{ids, entries, static_cast<unsigned>(std::bit_width(ids.size()) - 1)};
  return b.build(0, ids.size(), 0);
}

}  // namespace msi::cfb
