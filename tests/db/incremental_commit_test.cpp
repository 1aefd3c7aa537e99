// Commits after small changes: what they write must be exactly what a full rewrite would hold
// (msitools reads every table the same), while writing little of the file.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <random>
#include <set>
#include <string>

#include "engine/cfb/compound_file.h"
#include "engine/db/database.h"
#include "engine/db/stream_name.h"
#include "engine/db/stored_table.h"
#include "tests/support/db_builders.h"
#include "tests/support/msitools.h"
#include "tests/support/fixtures.h"

namespace {

using namespace fennick::test;
namespace fs = std::filesystem;

// A row as one line, its cells joined by tabs.
std::string joined(const msi::Row& row) {
  std::string out;
  for (std::size_t c = 0; c < row.size(); ++c) out += (c ? "\t" : "") + row[c].text();
  return out;
}

std::set<std::string> ourRows(msi::Database& db, const std::string& table) {
  std::set<std::string> out;
  const msi::Table& t = db.table(table);
  for (std::size_t r = 0; r < t.size(); ++r) out.insert(joined(t.row(r)));
  return out;
}

std::set<std::string> theirRows(const fs::path& pkg, const std::string& table) {
  std::set<std::string> out;
  for (const auto& cells : msiinfoRows(pkg, table)) {
    if (cells.size() == 1 && cells[0].empty()) continue;
    out.insert(joined(msi::Row(cells.begin(), cells.end())));
  }
  return out;
}

std::size_t bytesThatDiffer(const std::string& a, const std::string& b) {
  std::size_t n = a.size() > b.size() ? a.size() - b.size() : b.size() - a.size();
  for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) n += a[i] != b[i];
  return n;
}

TEST(IncrementalCommit, RowChangesOnARealPackageStayExactAcrossCommits) {
  FENNICK_REQUIRE_MSITOOLS();
  const fs::path pkg = scratchDir() / "changed.msi";
  const fs::path src = fixture("ui-wix3-putty-installdir-featuretree/putty-0.68-installer.msi");
  fs::copy_file(src, pkg);
  const msi::cfb::Path fileTable{msi::stream_name::encode("File", true)};
  const msi::Bytes fileStream = msi::cfb::Reader::open(pkg)->read(fileTable);
  auto db = msi::Database::open(pkg, msi::OpenMode::Transact);
  msi::Table& props = db->table("Property");
  msi::Table& controls = db->table("Control");
  ASSERT_GE(props.size(), 4u);
  const msi::Row original = props.row(0);

  const auto step = [&](const std::string& what, const std::function<void()>& change) {
    SCOPED_TRACE(what);
    change();
    db->commit();
    EXPECT_EQ(theirRows(pkg, "Property"), ourRows(*db, "Property"));
    EXPECT_EQ(theirRows(pkg, "Control"), ourRows(*db, "Control"));
  };
  const auto withValue = [&](std::size_t i, const msi::Value& v) {
    msi::Row r = props.row(i);
    r[1] = v;
    props.update(i, r);
  };
  step("a new string", [&] { withValue(0, "a value no table had before"); });
  step("a string another row uses", [&] { withValue(1, "a value no table had before"); });
  step("the first value back", [&] { withValue(0, original[1]); });
  step("the shared string left by its last user", [&] { withValue(1, "another fresh value"); });
  step("a row deleted", [&] { props.erase(2); });
  step("a row inserted", [&] { props.insert({"ZZ_FENNICK_ADDED", "another fresh value"}); });
  step("an integer and a text cell of another table", [&] {
    msi::Row r = controls.row(0);
    r[5] = r[5].isInt() ? msi::Value(r[5].asInt() + 7) : msi::Value(7);  // Width
    r[9] = "Control text changed";                                        // Text
    controls.update(0, r);
  });
  step("no change at all", [] {});
  EXPECT_EQ(msi::cfb::Reader::open(pkg)->read(fileTable), fileStream) << "an untouched table keeps its stream";
  for (const char* t : {"File", "Component", "Feature", "Directory", "Dialog"})
    EXPECT_EQ(msiinfo("export", pkg, t), msiinfo("export", src, t)) << t;

  // The counts kept along the way equal a fresh count: committing again after a reopen, which
  // counts every reference anew, finds nothing to write.
  db.reset();
  const std::string before = ReadText(pkg);
  msi::Database::open(pkg, msi::OpenMode::Transact)->commit();
  EXPECT_EQ(ReadText(pkg), before);
}

// Random inserts, updates and erases over a small vocabulary, so strings are shared, dropped
// and taken up again, with temporary rows in between; msitools checks every commit.
TEST(IncrementalCommit, RandomChangesKeepCountsAndRowsExact) {
  if (!haveMsitools()) GTEST_SKIP() << "msiinfo is not installed";
  const fs::path pkg = scratchDir() / "random.msi";
  auto db = msi::Database::open(pkg, msi::OpenMode::Create);
  db->createTable({"Item", {col("Name", "s32", true), col("Count", "I4"), col("Note", "S64")}});
  msi::Table& t = db->table("Item");
  for (int i = 0; i < 300; ++i) t.insert({"item" + std::to_string(i), i, "note " + std::to_string(i % 7)});
  db->commit();

  std::mt19937 rng(11);
  const auto word = [&] { return "w" + std::to_string(rng() % 40); };
  for (int round = 0; round < 25; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    for (int op = 0; op < 12; ++op) {
      const std::size_t at = rng() % t.size();
      switch (rng() % 4) {
        case 0: {
          msi::Row r = t.row(at);
          r[2] = rng() % 5 ? msi::Value(word()) : msi::Value();
          t.update(at, r);
          break;
        }
        case 1: {
          msi::Row r = t.row(at);
          r[1] = static_cast<int>(rng() % 1000);
          t.update(at, r);
          break;
        }
        case 2:
          if (t.size() > 10) t.erase(at);
          break;
        default: {
          const std::string name = word() + "_" + std::to_string(round) + "_" + std::to_string(op);
          if (!t.find({name})) t.insert({name, op, word()}, rng() % 4 == 0);
        }
      }
    }
    db->commit();
    std::set<std::string> persistent;
    for (std::size_t r = 0; r < t.size(); ++r)
      if (!static_cast<msi::StoredTable&>(t).isTemporaryRow(r)) persistent.insert(joined(t.row(r)));
    ASSERT_EQ(theirRows(pkg, "Item"), persistent);
  }
  db.reset();
  const std::string before = ReadText(pkg);
  msi::Database::open(pkg, msi::OpenMode::Transact)->commit();
  EXPECT_EQ(ReadText(pkg), before) << "the counts kept along the way differ from a fresh count";
}

TEST(IncrementalCommit, AnUpdateInPlaceWritesAFewSectors) {
  if (!haveMsitools()) GTEST_SKIP() << "msiinfo is not installed";
  const fs::path pkg = scratchDir() / "big.msi";
  {
    auto db = msi::Database::open(pkg, msi::OpenMode::Create);
    db->createTable({"Item", {col("Name", "s32", true), col("Count", "I4"), col("Note", "S64")}});
    msi::Table& t = db->table("Item");
    for (int i = 0; i < 20000; ++i) t.insert({"item" + std::to_string(i), i, "note " + std::to_string(i % 100)});
    db->commit();
  }
  const std::string before = ReadText(pkg);
  ASSERT_GT(before.size(), 300000u);

  auto db = msi::Database::open(pkg, msi::OpenMode::Transact);
  msi::Table& t = db->table("Item");
  const auto at = t.find({"item12345"});
  ASSERT_TRUE(at);
  msi::Row r = t.row(*at);
  r[1] = 424242;
  r[2] = "note 7";  // a string the pool holds already: counts change, texts do not
  t.update(*at, r);
  db->commit();

  const std::string after = ReadText(pkg);
  EXPECT_LE(bytesThatDiffer(before, after), 16u * 512) << "a one-row change rewrote much of the file";
  const std::set<std::string> rows = theirRows(pkg, "Item");
  EXPECT_EQ(rows.size(), 20000u);
  EXPECT_TRUE(rows.count("item12345\t424242\tnote 7"));
}

// A table let go of is read again from the file, so it must be let go of only when the file
// holds all of it: never with a change, a temporary row or a temporary column not written.
// Rows read from a file are made on first use: rows read once through rowCopy, and a column
// added before the rows are made, must still give what msitools reads, and commit as such.
TEST(IncrementalCommit, ReleasedTablesAndRowsMadeLateReadBackWhatTheFileHolds) {
  FENNICK_REQUIRE_MSITOOLS();
  const fs::path pkg = scratchCopy("ui-wix3-putty-installdir-featuretree/putty-0.68-installer.msi", "released.msi");
  const std::set<std::string> controls = theirRows(pkg, "Control");
  auto db = msi::Database::open(pkg, msi::OpenMode::Transact);
  std::set<std::string> once;
  for (std::size_t r = 0; r < db->table("Control").size(); ++r) once.insert(joined(db->table("Control").rowCopy(r)));
  EXPECT_EQ(once, controls);
  struct Case {
    const char* what;
    std::function<void()> change;
    bool released;
  } cases[] = {
      {"unchanged", [] {}, true},
      {"a row changed", [&] { setProperty(*db, "ProductName", "Released"); }, false},
      {"the change committed", [&] { db->commit(); }, true},
      {"a temporary row", [&] { db->table("Property").insert({"Scratch", "1"}, true); }, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    c.change();
    const std::set<std::string> held = ourRows(*db, "Property");
    EXPECT_EQ(db->release("Property"), c.released);
    EXPECT_EQ(db->isLoaded("Property"), !c.released);
    EXPECT_EQ(ourRows(*db, "Property"), held);
  }
  EXPECT_FALSE(db->release("NoSuchTable"));
  // Released while another table changes: the commit still counts its strings.
  EXPECT_EQ(ourRows(*db, "Control"), controls);
  ASSERT_TRUE(db->release("Control"));
  setProperty(*db, "ARPCOMMENTS", "after release");
  db->commit();
  EXPECT_EQ(theirRows(pkg, "Control"), controls);
  EXPECT_EQ(ourRows(*db, "Control"), controls);
  EXPECT_TRUE(theirRows(pkg, "Property").count("ARPCOMMENTS\tafter release"));

  ASSERT_TRUE(db->release("Control"));
  db->addColumn("Control", msi::Column::fromDefinition("FennickLate", "S20"));
  std::set<std::string> widened;
  for (const auto& row : controls) widened.insert(row + "\t");
  EXPECT_EQ(ourRows(*db, "Control"), widened);
  db->commit();
  EXPECT_EQ(theirRows(pkg, "Control"), widened);
  db->addColumn("Control", [] { auto c = col("Note", "S0"); c.temporary = true; return c; }());
  EXPECT_FALSE(db->release("Control")) << "a temporary column is not in the file";
}

// Packages whose last sector ends in zeros past the last stream, with 512- and 4096-byte
// sectors, as several authoring tools write them.
TEST(IncrementalCommit, InPlaceCommitIntoAFileWithAShortLastSector) {
  FENNICK_REQUIRE_MSITOOLS();
  for (const std::string name :
       {"ui-vsinstaller-winget/AppInstallerTestMsiInstaller.msi", "noui-wix37-with-transforms-psmsi/Example.msi"}) {
    SCOPED_TRACE(name);
    const fs::path pkg = scratchDir() / "short.msi";
    fs::copy_file(fixture(name), pkg);
    // Drop the zeros that end the last sector (all but one byte of it, when it is all zeros).
    const std::string bytes = ReadText(pkg);
    ASSERT_GT(bytes.size(), 512u);
    const std::uintmax_t sectorSize = std::uintmax_t{1} << static_cast<unsigned char>(bytes[30]);
    std::uintmax_t size = bytes.size();
    while (size > bytes.size() - sectorSize + 1 && bytes[size - 1] == 0) --size;
    ASSERT_NE(size % sectorSize, 0u) << "the last sector ends in data: pick another package";
    fs::resize_file(pkg, size);
    const auto tablesBefore = msiinfoTables(pkg);
    const auto filesBefore = msiinfoRows(pkg, "File");
    // Still the same package to msitools.
    ASSERT_EQ(tablesBefore, msiinfoTables(fixture(name)));
    ASSERT_EQ(filesBefore, msiinfoRows(fixture(name), "File"));

    auto db = msi::Database::open(pkg, msi::OpenMode::Transact);
    msi::Table& props = db->table("Property");
    msi::Row row = props.row(0);
    row[1] = msi::Value("set in a file with a short last sector");
    props.update(0, row);
    db->commit();
    EXPECT_EQ(fs::file_size(pkg) % sectorSize, 0u);
    EXPECT_TRUE(theirRows(pkg, "Property").count(joined(row)));
    EXPECT_EQ(msiinfoTables(pkg), tablesBefore);
    EXPECT_EQ(msiinfoRows(pkg, "File"), filesBefore);
  }
}

}  // namespace
