// Changes through views: View::modify in every mode, and failures that leave the tables as
// they were; and statements beyond the query corpus (queries.txt: what INSERT, UPDATE,
// DELETE, CREATE, ALTER and DROP change, their columns and the causes of their refusals):
// temporary rows, refusals part-way through, views opened before a change.
#include <gtest/gtest.h>

#include "tests/sql/refusing_database.h"
#include "tests/sql/query_helpers.h"

namespace fennick::test {
namespace {

using msi::ModifyMode;
using msi::Value;

class SqlModify : public ::testing::Test {
 protected:
  void SetUp() override {
    auto& t = addTable(db, "Property", {{"Property", "s72"}, {"Value", "l0"}, {"Order", "I2"}}, 1);
    t.insert({Value("ALLUSERS"), Value("1"), Value(1)});
    t.insert({Value("INSTALLDIR"), Value("C:\\App"), Value()});
    t.insert({Value("ProductName"), Value("Demo"), Value(3)});
  }
  RefusingTable& property() { return db.table("Property"); }
  std::vector<msi::Row> snapshot() { return rowsOf(property()); }
  std::unique_ptr<msi::View> executed(std::string_view sql) {
    auto view = msi::View::open(db, sql);
    view->execute();
    return view;
  }
  // The message of the Error that modifying `view` with `record` throws, or ""; a refused
  // modification leaves the table as it was.
  std::string refusal(msi::View& view, ModifyMode mode, msi::Record& record) {
    const auto before = snapshot();
    const std::string message = errorOf([&] { view.modify(mode, record); });
    EXPECT_TRUE(message.empty() || snapshot() == before) << "refused, yet the table changed: " << message;
    return message;
  }
  // Fetches until the first field equals `key`.
  static msi::Record fetchKey(msi::View& view, std::string_view key) {
    while (auto r = view.fetch())
      if (r->stringData(1) == key) return *r;
    ADD_FAILURE() << "no row " << key;
    return msi::Record();
  }
  RefusingDatabase db{newDatabase()};
};

TEST_F(SqlModify, UpdateRewritesOnlyTheViewsColumnsOfTheFetchedRow) {
  auto view = executed("SELECT `Property`, `Value` FROM `Property`");
  msi::Record r = fetchKey(*view, "INSTALLDIR");
  r.setStringData(2, "D:\\Other");
  view->modify(ModifyMode::Update, r);
  EXPECT_EQ(property().row(1), (msi::Row{Value("INSTALLDIR"), Value("D:\\Other"), Value()}));
  // The same record can be written again; the database's refusal (a null in a non-null
  // column) leaves the row as it was.
  r.setStringData(2, "E:\\");
  view->modify(ModifyMode::Update, r);
  EXPECT_EQ(property().row(1)[1], Value("E:\\"));
  r.setStringData(2, "");
  EXPECT_TRUE(holds(refusal(*view, ModifyMode::Update, r), {"cannot be null"}));
  EXPECT_EQ(property().row(1)[1], Value("E:\\"));
}

TEST_F(SqlModify, UpdateRefusesChangedKeysForeignRecordsAndStaleRecords) {
  auto view = executed("SELECT `Property`, `Value` FROM `Property`");
  msi::Record r = fetchKey(*view, "ALLUSERS");

  msi::Record renamed = r;
  renamed.setStringData(1, "ALLUSERS2");
  EXPECT_EQ(refusal(*view, ModifyMode::Update, renamed),
            "query `SELECT `Property`, `Value` FROM `Property``: modify Update: key column "
            "`Property` cannot change (Replace can change keys)");

  msi::Record made = recordOf({Value("ALLUSERS"), Value("2")});
  EXPECT_TRUE(holds(refusal(*view, ModifyMode::Update, made), {"was not fetched from this view"}));

  auto other = executed("SELECT `Property`, `Value` FROM `Property`");
  EXPECT_NE(refusal(*other, ModifyMode::Update, r), "");

  view->execute();  // a new execution invalidates earlier records
  EXPECT_NE(refusal(*view, ModifyMode::Update, r), "");
}

TEST_F(SqlModify, UpdateConvertsTextForIntegerColumns) {
  auto view = executed("SELECT `Property`, `Order` FROM `Property`");
  msi::Record r = fetchKey(*view, "ProductName");
  r.setStringData(2, "42");
  view->modify(ModifyMode::Update, r);
  EXPECT_EQ(property().row(2)[2], Value(42));
  r.setStringData(2, "forty");
  EXPECT_TRUE(holds(refusal(*view, ModifyMode::Update, r),
                    {"modify Update: column `Order`: 'forty' is not an integer"}));
}

TEST_F(SqlModify, InsertAndInsertTemporary) {
  auto view = msi::View::open(db, "SELECT `Property`, `Value` FROM `Property`");
  msi::Record r = recordOf({Value("NEWPROP"), Value("x")});
  view->modify(ModifyMode::Insert, r);  // no execute needed
  ASSERT_TRUE(property().find({Value("NEWPROP")}));
  const std::size_t at = *property().find({Value("NEWPROP")});
  EXPECT_EQ(property().row(at), (msi::Row{Value("NEWPROP"), Value("x"), Value()}));
  EXPECT_FALSE(property().isTemporaryRow(at));

  msi::Record t = recordOf({Value("TEMPPROP"), Value("y")});
  view->modify(ModifyMode::InsertTemporary, t);
  EXPECT_TRUE(property().isTemporaryRow(*property().find({Value("TEMPPROP")})));

  msi::Record dup = recordOf({Value("ALLUSERS"), Value("2")});
  EXPECT_TRUE(holds(refusal(*view, ModifyMode::Insert, dup),
                    {"modify Insert: table `Property` already has a row with the key ('ALLUSERS')"}));
  // The database's own refusal (here: a null key) surfaces with the query named.
  msi::Record nullKey(2);
  EXPECT_TRUE(holds(refusal(*view, ModifyMode::Insert, nullKey), {"cannot be null"}));
}

TEST_F(SqlModify, AssignUpdatesOrInsertsAndNullsUnselectedColumns) {
  auto view = msi::View::open(db, "SELECT `Property`, `Value` FROM `Property`");
  msi::Record existing = recordOf({Value("ProductName"), Value("Renamed")});
  view->modify(ModifyMode::Assign, existing);
  EXPECT_EQ(property().row(2), (msi::Row{Value("ProductName"), Value("Renamed"), Value()}));
  msi::Record fresh = recordOf({Value("ZNEW"), Value("z")});
  view->modify(ModifyMode::Assign, fresh);
  EXPECT_EQ(property().size(), 4u);
  EXPECT_EQ(property().row(3), (msi::Row{Value("ZNEW"), Value("z"), Value()}));
}

TEST_F(SqlModify, MergeInsertsOrAcceptsOnlyAnIdenticalRow) {
  auto view = msi::View::open(db, "SELECT `Property`, `Value`, `Order` FROM `Property`");
  msi::Record same = recordOf({Value("ALLUSERS"), Value("1"), Value(1)});
  view->modify(ModifyMode::Merge, same);
  msi::Record fresh = recordOf({Value("MERGED"), Value("m"), Value()});
  view->modify(ModifyMode::Merge, fresh);
  EXPECT_TRUE(property().find({Value("MERGED")}));
  msi::Record differs = recordOf({Value("ALLUSERS"), Value("2"), Value(1)});
  EXPECT_TRUE(holds(refusal(*view, ModifyMode::Merge, differs),
                    {"modify Merge: the row ('ALLUSERS') of table `Property` differs in column `Value`"}));
}

TEST_F(SqlModify, DeleteRemovesTheFetchedRowAndFetchingGoesOn) {
  auto view = executed("SELECT `Property` FROM `Property`");
  auto first = view->fetch();
  view->modify(ModifyMode::Delete, *first);
  EXPECT_FALSE(property().find({Value("ALLUSERS")}));
  EXPECT_EQ(view->fetch()->stringData(1), "INSTALLDIR");
  EXPECT_TRUE(holds(refusal(*view, ModifyMode::Delete, *first),
                    {"modify Delete: the row ('ALLUSERS') of table `Property` no longer exists"}));
}

TEST_F(SqlModify, RefreshRereadsAndSeekFindsByKey) {
  auto view = executed("SELECT `Property`, `Value` FROM `Property`");
  msi::Record r = fetchKey(*view, "ALLUSERS");
  property().update(0, {Value("ALLUSERS"), Value("2"), Value(1)});
  r.setStringData(2, "scribbled");
  view->modify(ModifyMode::Refresh, r);
  EXPECT_EQ(r.stringData(2), "2");

  auto seeker = msi::View::open(db, "SELECT `Value`, `Property` FROM `Property`");
  msi::Record probe(2);
  probe.setStringData(2, "ProductName");
  seeker->modify(ModifyMode::Seek, probe);
  EXPECT_EQ(probe.stringData(1), "Demo");
  // A sought record can be written back like a fetched one.
  probe.setStringData(1, "Sought");
  seeker->modify(ModifyMode::Update, probe);
  EXPECT_EQ(property().row(2)[1], Value("Sought"));

  msi::Record missing(2);
  missing.setStringData(2, "NOPE");
  EXPECT_TRUE(holds(refusal(*seeker, ModifyMode::Seek, missing), {"has the key ('NOPE')"}));
  auto noKey = msi::View::open(db, "SELECT `Value` FROM `Property`");
  msi::Record one(1);
  EXPECT_TRUE(holds(refusal(*noKey, ModifyMode::Seek, one), {"key column `Property` is not in the view"}));
}

TEST_F(SqlModify, ReplaceMovesARowToANewKey) {
  auto view = executed("SELECT `Property`, `Value` FROM `Property`");
  msi::Record r = fetchKey(*view, "INSTALLDIR");
  r.setStringData(1, "TARGETDIR");
  view->modify(ModifyMode::Replace, r);
  EXPECT_FALSE(property().find({Value("INSTALLDIR")}));
  ASSERT_TRUE(property().find({Value("TARGETDIR")}));
  // The record now follows the row under its new key.
  r.setStringData(2, "E:\\");
  view->modify(ModifyMode::Replace, r);
  EXPECT_EQ(property().row(*property().find({Value("TARGETDIR")}))[1], Value("E:\\"));

  r.setStringData(1, "ALLUSERS");  // taken
  EXPECT_TRUE(holds(refusal(*view, ModifyMode::Replace, r), {"already has a row"}));
  // A refused insert under the new key puts the old row back.
  r.setStringData(1, "FRESHKEY");
  property().failWrite(1);  // the erase passes, the insert is refused
  EXPECT_TRUE(holds(refusal(*view, ModifyMode::Replace, r), {"write refused"}));
}

TEST_F(SqlModify, JoinedViewsUpdateEachTableAndUndoOnFailure) {
  auto& dialog = addTable(db, "Dialog", {{"Dialog", "s72"}, {"Title", "L0"}}, 1);
  addTable(db, "Control", {{"Dialog_", "s72"}, {"Control", "s50"}, {"Text", "L0"}}, 2);
  RefusingTable& control = db.table("Control");
  dialog.insert({Value("D"), Value("Old title")});
  control.insert({Value("D"), Value("C"), Value("Old text")});
  auto view = executed("SELECT `Dialog`.`Title`, `Control`.`Text` FROM `Dialog`, `Control` WHERE `Dialog` = `Dialog_`");
  msi::Record r = *view->fetch();
  r.setStringData(1, "New title");
  r.setStringData(2, "New text");
  control.failWrite();
  EXPECT_NE(refusal(*view, ModifyMode::Update, r), "");
  EXPECT_EQ(dialog.row(0)[1], Value("Old title"));
  view->modify(ModifyMode::Update, r);
  EXPECT_EQ(dialog.row(0)[1], Value("New title"));
  EXPECT_EQ(control.row(0)[2], Value("New text"));
  view->modify(ModifyMode::Refresh, r);
  EXPECT_EQ(r.stringData(2), "New text");
  for (const ModifyMode mode : {ModifyMode::Insert, ModifyMode::Assign, ModifyMode::Delete,
                                ModifyMode::Merge, ModifyMode::Replace, ModifyMode::Seek})
    EXPECT_TRUE(holds(refusal(*view, mode, r), {"not supported on a view of several tables"}));
}

TEST_F(SqlModify, UnsupportedModesSaySo) {
  auto view = executed("SELECT * FROM `Property`");
  msi::Record r = *view->fetch();
  EXPECT_TRUE(holds(refusal(*view, ModifyMode::Validate, r), {"validation against _Validation is not supported"}));
  EXPECT_TRUE(holds(refusal(*view, static_cast<ModifyMode>(99), r), {"unknown mode 99"}));
  auto distinct = executed("SELECT DISTINCT `Value` FROM `Property`");
  msi::Record d = *distinct->fetch();
  EXPECT_TRUE(holds(refusal(*distinct, ModifyMode::Update, d), {"DISTINCT"}));
  auto insert = msi::View::open(db, "INSERT INTO `Property` (`Property`) VALUES ('X')");
  EXPECT_TRUE(holds(refusal(*insert, ModifyMode::Insert, r), {"only on SELECT views"}));
  msi::Record shortRecord(1);
  EXPECT_TRUE(holds(refusal(*view, ModifyMode::Insert, shortRecord),
                    {"the record has 1 fields but the view has 3 columns"}));
}

using SqlStatements = SqlModify;

TEST_F(SqlStatements, InsertTemporaryMakesATemporaryRow) {
  run(db, "INSERT INTO `Property` (`Property`, `Value`) VALUES ('SCRATCH', 'x') TEMPORARY");
  EXPECT_TRUE(property().isTemporaryRow(*property().find({Value("SCRATCH")})));
}

TEST_F(SqlStatements, AFailedUpdateOrDeleteChangesNothing) {
  const auto before = snapshot();
  // Refusals part-way: the rows already written or removed are put back.
  property().failWrite(1);
  EXPECT_TRUE(holds(errorOf([&] { run(db, "UPDATE `Property` SET `Value` = 'T'"); }), {"write refused"}));
  EXPECT_EQ(snapshot(), before);
  property().failWrite(1);
  EXPECT_TRUE(holds(errorOf([&] { run(db, "DELETE FROM `Property` WHERE `Order` > 0"); }), {"write refused"}));
  EXPECT_EQ(snapshot(), before);
}

TEST_F(SqlStatements, ATableOfMoreThan32ColumnsIsRefusedWhenOpened) {
  std::string wide = "CREATE TABLE t (";
  for (int i = 0; i < 32; ++i) wide += "c" + std::to_string(i) + " SHORT, ";
  // A long query is shortened in the message; the offset is that of the 33rd column.
  EXPECT_NE(errorOf([&] { msi::View::open(db, wide + "c32 SHORT, PRIMARY KEY c0)"); })
                .find("a table has at most 32 columns at offset " + std::to_string(wide.size())),
            std::string::npos);
}

TEST_F(SqlStatements, AViewOpenedBeforeAlterTableSeesTheNewColumn) {
  auto all = msi::View::open(db, "SELECT * FROM `Property`");
  run(db, "ALTER TABLE `Property` ADD `Extra` CHAR(20)");
  all->execute();
  EXPECT_EQ(all->columnNames().back(), "Extra");
  EXPECT_EQ(all->fetch()->fieldCount(), 4u);
}

}  // namespace
}  // namespace fennick::test
