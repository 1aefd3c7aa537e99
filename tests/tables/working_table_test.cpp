#include <gtest/gtest.h>

#include "src/tables/working_tables.h"

namespace fennick::tables {
namespace {

// Sorting once orders rows by their text, characters not numbers, and takes the sub-items
// along; rows added later go to the end.
TEST(WorkingTable, SortComparesCharactersNotNumbersOnce) {
  WorkingTables t;
  auto& p = t.lvProperty;
  for (const char* name : {"9", "10", "b", "B", "_x"}) {
    p.AppendRow(name, name);
    p.AppendSubItem(p.RowCount(), std::string("v") + name);
  }
  p.SetSorted(true);
  p.SetSorted(false);
  EXPECT_EQ(p.AppendRow("A", "A"), 6u);
  std::vector<std::string> order;
  for (std::size_t i = 1; i <= p.RowCount(); ++i) order.push_back(p.RowText(i) + "=" + (i < 6 ? p.SubItemText(i, 1) : ""));
  EXPECT_EQ(order, (std::vector<std::string>{"10=v10", "9=v9", "B=vB", "_x=v_x", "b=vb", "A="}));
}

}  // namespace
}  // namespace fennick::tables
