// Layouts of the standard installer tables, as real packages define them, for reading a
// transform's records when the database it belongs to is not at hand. Some tables have more
// than one layout in the wild (older and newer installer versions); all are offered.
#pragma once

#include <string_view>
#include <vector>

#include "engine/db/value.h"

namespace msi::mst {

// The known layouts of `table`, most common first; empty for tables not known.
std::vector<std::vector<Column>> standardLayouts(std::string_view table);

}  // namespace msi::mst
