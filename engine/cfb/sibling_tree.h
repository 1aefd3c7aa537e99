// The children of one storage as a balanced binary search tree. Private to engine/cfb.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/cfb/directory_entry.h"

namespace msi::cfb {

// Links the entries `ids` (already sorted in name order) into a balanced search tree through
// their left/right links and returns the id of its root (kNoStream when `ids` is empty).
// Nodes on the deepest level of an incomplete tree are red, the rest black, which makes it a
// valid red-black tree for readers that check colours.
std::uint32_t linkSiblings(const std::vector<std::uint32_t>& ids, std::vector<DirectoryEntry>& entries);

}  // namespace msi::cfb
