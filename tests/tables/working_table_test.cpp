#include <gtest/gtest.h>

#include <sstream>

#include "src/tables/working_tables.h"

namespace fennick::tables {
namespace {

TEST(WorkingTable, RowsAndSubItemsNumberFromOne) {
  WorkingTables t;
  auto row = t.lvUI.AppendRow("CostFinalize", "CostFinalize");
  EXPECT_EQ(row, 1u);
  t.lvUI.AppendSubItem(t.lvUI.RowCount(), "");
  t.lvUI.AppendSubItem(t.lvUI.RowCount(), "1000");
  EXPECT_EQ(t.lvUI.RowText(1), "CostFinalize");
  EXPECT_EQ(t.lvUI.SubItemText(1, 1), "");  // an empty condition is still a sub-item
  EXPECT_EQ(t.lvUI.SubItemText(1, 2), "1000");
  EXPECT_THROW(t.lvUI.SubItemText(1, 3), TableError);
  EXPECT_THROW(t.lvUI.AppendSubItem(1, "too many"), TableError);
  EXPECT_THROW(t.lvTable.AppendSubItem(1, "x"), TableError);  // no such row
  EXPECT_THROW(t.lvTable.RowText(1), TableError);
}

TEST(WorkingTable, KeyedAppendWithPresentKeyFailsAndChangesNothing) {
  WorkingTables t;
  t.lvProperty.AppendRow("INSTALLDIR", "INSTALLDIR");
  t.lvProperty.AppendSubItem(1, "C:\\A\\");
  t.lvProperty.AppendRow("ALLUSERS", "ALLUSERS");
  t.lvProperty.AppendSubItem(2, "1");
  EXPECT_THROW(t.lvProperty.AppendRow("INSTALLDIR", "INSTALLDIR"), TableError);
  ASSERT_EQ(t.lvProperty.RowCount(), 2u);
  EXPECT_EQ(t.lvProperty.RowText(1), "INSTALLDIR");
  EXPECT_EQ(t.lvProperty.SubItemText(1, 1), "C:\\A\\");
  EXPECT_EQ(t.lvProperty.RowText(2), "ALLUSERS");
  EXPECT_EQ(t.lvProperty.SubItemCount(2), 1u);
  // Keys are exact: a name differing in case is another key.
  EXPECT_NO_THROW(t.lvProperty.AppendRow("InstallDir", "InstallDir"));
}

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

TEST(WorkingTable, DumpEscapesSeparatorsAndListsEveryTable) {
  WorkingTables t;
  t.lvTable.AppendRow("Property", "Property");
  t.lvProperty.AppendRow("X", "X");
  t.lvProperty.AppendSubItem(1, "a\tb\nc\\d");
  std::ostringstream out;
  DumpTables(t, out);
  EXPECT_EQ(out.str(),
            "# lvTable\nProperty\n# lvUI\n# lvProperty\nX\ta\\tb\\nc\\\\d\n# lvFeature\n"
            "# lvPropertyChanged\n# lvFeatureChanged\n");
}

}  // namespace
}  // namespace fennick::tables
