// Entry names: the order siblings are kept in, validity, and their display in messages.
// Private to engine/cfb.
#pragma once

#include <string>
#include <string_view>

#include "engine/cfb/compound_file.h"

namespace msi::cfb {

// The sibling order of the format: a shorter name sorts first; names of equal length compare
// unit by unit after upper-casing. Returns <0, 0 or >0. Names comparing 0 are the same entry.
int compareNames(std::u16string_view a, std::u16string_view b);

// Strict weak order for containers keyed by entry name.
struct NameLess {
  bool operator()(const std::u16string& a, const std::u16string& b) const { return compareNames(a, b) < 0; }
};

// Why `name` cannot name an entry (empty, too long, or holds / \ : !), or empty when it can.
std::string nameProblem(std::u16string_view name);

// A name or path as UTF-8 for messages; control characters appear as \u0005 escapes.
std::string displayName(std::u16string_view name);
std::string displayPath(const Path& path);

}  // namespace msi::cfb
