#include <gtest/gtest.h>

#include <sstream>

#include "src/tables/working_tables.h"

namespace fennick::tables {
namespace {

TEST(WorkingTable, EmptyTableHasNoRows) {
  WorkingTables t;
  for (const WorkingTable* table : t.All()) EXPECT_EQ(table->RowCount(), 0u) << table->Name();
  EXPECT_THROW(t.lvTable.RowText(1), TableError);
}

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

TEST(WorkingTable, UnkeyedTableKeepsEqualRows) {
  WorkingTables t;
  t.lvPropertyChanged.AppendRow("INSTALLDIR");
  t.lvPropertyChanged.AppendRow("INSTALLDIR");
  EXPECT_EQ(t.lvPropertyChanged.RowCount(), 2u);
}

TEST(WorkingTable, WholeNumbersAreStoredAsDecimalText) {
  WorkingTables t;
  t.lvFeature.AppendRow("Main", "Main");
  t.lvFeature.AppendSubItem(1, -1);
  t.lvFeatureChanged.AppendRow("Main");
  t.lvFeatureChanged.AppendSubItem(1, 3);
  EXPECT_EQ(t.lvFeature.SubItemText(1, 1), "-1");
  EXPECT_EQ(t.lvFeatureChanged.SubItemText(1, 1), "3");
}

TEST(WorkingTable, SortingOnceOrdersByTextAndLaterRowsGoToTheEnd) {
  WorkingTables t;
  auto& p = t.lvProperty;
  for (auto [name, value] : {std::pair{"TARGETDIR", "t"}, {"INSTALLLEVEL", "l"}, {"INSTALLDIR", "d"}}) {
    p.AppendRow(name, name);
    p.AppendSubItem(p.RowCount(), value);
  }
  p.SetSorted(true);
  p.SetSorted(false);
  ASSERT_EQ(p.RowCount(), 3u);
  EXPECT_EQ(p.RowText(1), "INSTALLDIR");
  EXPECT_EQ(p.SubItemText(1, 1), "d");
  EXPECT_EQ(p.RowText(2), "INSTALLLEVEL");
  EXPECT_EQ(p.SubItemText(2, 1), "l");
  EXPECT_EQ(p.RowText(3), "TARGETDIR");
  EXPECT_EQ(p.SubItemText(3, 1), "t");
  EXPECT_EQ(p.AppendRow("A", "A"), 4u);
  EXPECT_EQ(p.RowText(4), "A");
}

TEST(WorkingTable, SortComparesCharactersNotNumbers) {
  WorkingTables t;
  for (const char* name : {"9", "10", "b", "B", "_x"}) t.lvProperty.AppendRow(name, name);
  t.lvProperty.SetSorted(true);
  std::vector<std::string> order;
  for (std::size_t i = 1; i <= t.lvProperty.RowCount(); ++i) order.push_back(t.lvProperty.RowText(i));
  EXPECT_EQ(order, (std::vector<std::string>{"10", "9", "B", "_x", "b"}));
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
