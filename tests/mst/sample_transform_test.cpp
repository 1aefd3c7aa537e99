// The two transforms made on Windows for Example.msi (decoded byte by byte in our research
// notes): our reader lists their changes, our applier replays them, and a transform we
// generate from the result carries the same change records.
//
// Example.msi is not the database those transforms were made from: it has no Binary table,
// nor the Directory rows "Modified" and "Deleted", nor an AppId table. The tests rebuild that
// original base from Example.msi (reconstructedBase) to replay and regenerate them.
#include <gtest/gtest.h>

#include "engine/mst/transform.h"
#include "tests/mst/mst_test_support.h"
#include "tests/support/fixtures.h"

namespace {
namespace fs = std::filesystem;
using fennick::test::fixture;
using fennick::test::scratchDir;
using namespace fennick::mst_test;
using msi::Value;

const std::string kDir = "noui-wix37-with-transforms-psmsi/";

fs::path sample(const std::string& name) { return fixture(kDir + name); }

// Example.msi plus what the transforms expect to find: Binary rows "Modified" and "Deleted",
// Directory rows of the same names, and an AppId table. A Property row names "NewBinary" first
// so that the pool gives it a lower id than "Modified", as in the database the transforms were
// made from (rows are stored in string-id order, which sets the order of the records).
std::unique_ptr<msi::Database> reconstructedBase(const fs::path& at) {
  auto db = openCopy(sample("Example.msi"), at);
  setProperty(*db, "SampleBinaryName", "NewBinary");
  addTable(*db, "Binary", {col("Name", "s72", true), col("Data", "v0")},
           {{Value("Modified"), blob("old data")}, {Value("Deleted"), blob("deleted data")}});
  msi::Table& dir = db->table("Directory");
  dir.insert({Value("Modified"), Value("TARGETDIR"), Value("old value")});
  dir.insert({Value("Deleted"), Value("TARGETDIR"), Value("gone")});
  addTable(*db, "AppId",
           {col("AppId", "s38", true), col("RemoteServerName", "S255"), col("LocalService", "S255"),
            col("ServiceParameters", "S255"), col("DllSurrogate", "S255"), col("ActivateAtStorage", "I2"),
            col("RunAsInteractiveUser", "I2")},
           {{Value("{00000000-0000-0000-0000-000000000001}"), Value(), Value(), Value(), Value(), Value(1), Value()}});
  db->commit();
  return db;
}

// Without the base, the standard layouts of Binary and Directory decode the records; with it,
// updates show the old values of the rows Example.msi has.
TEST(SampleTransform, ShowListsTheDecodedChanges) {
  FENNICK_REQUIRE_FIXTURES();
  auto base = msi::Database::open(sample("Example.msi"), msi::OpenMode::ReadOnly);
  const auto lines = expected();
  EXPECT_EQ(changeLines(sample("Example.mst"), nullptr), lines.at("Example.mst"));
  EXPECT_EQ(changeLines(sample("Example.jpn.mst"), base.get()), lines.at("Example.jpn.mst with Example.msi"));
}

// Each transform changes the tables of its section, drops AppId, and leaves every other table
// as it was. Its own error conditions are not needed: the AppId table it drops exists here.
TEST(SampleTransform, ApplyingToTheReconstructedBaseGivesTheDecodedTables) {
  FENNICK_REQUIRE_FIXTURES();
  for (const std::string mst : {"Example.mst", "Example.jpn.mst"}) {
    SCOPED_TRACE(mst);
    const fs::path dir = scratchDir();
    auto db = reconstructedBase(dir / "base.msi");
    Snapshot tables = snapshot(*db);
    tables.erase("AppId");
    for (const auto& [table, rows] : expected("applying " + mst)) tables[table] = rows;
    msi::mst::applyTransform(*db, sample(mst), 0);
    db->commit();
    EXPECT_EQ(snapshot(*msi::Database::open(dir / "base.msi", msi::OpenMode::ReadOnly)), tables);
  }
}

// The records of a transform as text per table: the mask's kind and the cells as values, in
// record order, so that transforms with different string ids compare.
std::map<std::string, std::vector<std::string>> recordsByTable(const fs::path& mst, msi::Database& base) {
  std::map<std::string, std::vector<std::string>> out;
  for (const auto& c : msi::mst::describeTransform(mst, &base)) out[c.table].push_back(msi::mst::formatChange(c));
  return out;
}

TEST(SampleTransform, RegeneratingFromTheAppliedDatabaseGivesTheSameRecords) {
  FENNICK_REQUIRE_FIXTURES();
  const fs::path dir = scratchDir();
  reconstructedBase(dir / "base.msi");
  const auto base = generateFromCopy(dir, [](msi::Database& changed) {
    msi::mst::applyTransform(changed, sample("Example.mst"), 0);
  });

  // Same records, table by table and in the same order.
  EXPECT_EQ(recordsByTable(dir / "t.mst", *base), recordsByTable(sample("Example.mst"), *base));

  const auto theirs = streamWords(sample("Example.mst"));
  const auto ours = streamWords(dir / "t.mst");
  // Byte for byte where the string ids agree: the Directory and _Tables streams differ only in
  // ids, because we give ids in the order of the changed database's catalogue, where the
  // Binary table (created after the others) comes last; the Windows-made one had it first.
  EXPECT_EQ(theirs.at("Directory"), "0004 0002 0004 0301 0005 0000 0006 0301 0007 0000 0006 0000 0003");
  EXPECT_EQ(ours.at("Directory"), "0004 0001 0002 0301 0003 0000 0004 0301 0005 0000 0004 0000 0006");
  EXPECT_EQ(theirs.at("Binary"), "0201 0001 0001 0002 0002 0001 0000 0003");
  EXPECT_EQ(ours.at("Binary"), "0201 0007 0001 0002 0001 0001 0000 0006");
  EXPECT_EQ(ours.at("_Tables"), "0000 0008");
  EXPECT_EQ(ours.at("Binary.NewBinary"), theirs.at("Binary.NewBinary"));
  EXPECT_EQ(ours.at("Binary.Modified"), theirs.at("Binary.Modified"));
  // The pool has the same codepage (1252: the applied transform set it), strings and counts.
  EXPECT_EQ(ours.at("_StringPool").substr(0, 9), theirs.at("_StringPool").substr(0, 9));
  EXPECT_EQ(ours.at("_StringPool").size(), theirs.at("_StringPool").size());
  EXPECT_EQ(ours.at("_StringData").size(), theirs.at("_StringData").size());
  // No _Columns stream in either: no schema change besides the dropped table.
  EXPECT_EQ(ours.count("_Columns"), 0u);
  EXPECT_EQ(theirs.count("_Columns"), 0u);
}

}  // namespace
