// The six working tables of a run: the tool's whole memory between its steps.
#pragma once

#include <array>
#include <ostream>

#include "src/tables/working_table.h"

namespace fennick::tables {

struct WorkingTables {
  WorkingTable lvTable{"lvTable", {"Table"}, true};
  WorkingTable lvUI{"lvUI", {"Action", "Condition", "Sequence"}, true};
  WorkingTable lvProperty{"lvProperty", {"Property", "Value"}, true};
  WorkingTable lvFeature{"lvFeature", {"Feature", "Level"}, true};
  WorkingTable lvPropertyChanged{"lvPropertyChanged", {"Property", "Value"}, false};
  WorkingTable lvFeatureChanged{"lvFeatureChanged", {"Feature", "Level"}, false};

  // In the order of a dump: the order in which a run fills them.
  std::array<const WorkingTable*, 6> All() const {
    return {&lvTable, &lvUI, &lvProperty, &lvFeature, &lvPropertyChanged, &lvFeatureChanged};
  }
};

// Writes every table as "# <name>" and one line per row (text and sub-items separated by
// tabs; a tab, line break or backslash inside a value written as \t, \n, \\; a carriage
// return as \r).
void DumpTables(const WorkingTables& tables, std::ostream& out);

}  // namespace fennick::tables
