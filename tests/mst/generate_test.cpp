// Generating transforms from databases built in the test: which records come out, in which
// order and encoding.
#include <gtest/gtest.h>

#include "engine/cfb/compound_file.h"
#include "engine/mst/transform.h"
#include "tests/mst/mst_test_support.h"
#include "tests/support/error_text.h"
#include "tests/support/fixtures.h"

namespace {
namespace fs = std::filesystem;
using fennick::test::scratchDir;
using fennick::test::errorOf;
using fennick::test::holds;
using namespace fennick::mst_test;
using msi::Row;
using msi::Value;

// A reference database and a copy of it to change; the test changes `changed` and calls
// generate().
class Generate : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = scratchDir();
    auto db = createDatabase(dir / "base.msi", {{"ProductCode", "{11111111-1111-1111-1111-111111111111}"},
                                                {"ProductVersion", "1.0.0"},
                                                {"ALLUSERS", "1"}});
    addTable(*db, "Feature",
             {col("Feature", "s38", true), col("Feature_Parent", "S38"), col("Title", "L64"), col("Description", "L255"),
              col("Display", "I2"), col("Level", "i2"), col("Directory_", "S72"), col("Attributes", "i2")},
             {{Value("Main"), Value(), Value("Main"), Value(), Value(1), Value(1), Value("INSTALLDIR"), Value(0)},
              {Value("Docs"), Value("Main"), Value("Docs"), Value(), Value(2), Value(3), Value(), Value(0)}});
    addTable(*db, "Binary", {col("Name", "s72", true), col("Data", "v0")},
             {{Value("Icon"), blob("old icon")}, {Value("Keep"), blob("same")}});
    db->commit();
    db.reset();
    fs::copy_file(dir / "base.msi", dir / "changed.msi");
    base = msi::Database::open(dir / "base.msi", msi::OpenMode::ReadOnly);
    changed = msi::Database::open(dir / "changed.msi", msi::OpenMode::Transact);
  }
  // Generates and returns the transform's streams. (That applying it gives `changed` is
  // checked by Wine's installer service: transform_roundtrip_peer_test.cpp.)
  std::map<std::string, std::string> generate() {
    changed->commit();
    EXPECT_TRUE(msi::mst::generateTransform(*changed, *base, dir / "t.mst"));
    return streamWords(dir / "t.mst");
  }

  std::vector<std::string> show() { return changeLines(dir / "t.mst", base.get()); }

  fs::path dir;
  std::unique_ptr<msi::Database> base, changed;
};

TEST_F(Generate, FeatureLevelAndAttributesUpdatesCarryOnlyTheChangedColumns) {
  msi::Table& f = changed->table("Feature");
  Row docs = f.row(*f.find({Value("Docs")}));
  docs[5] = Value(200);  // Level
  docs[7] = Value(16);   // Attributes
  f.update(*f.find({Value("Docs")}), docs);
  const auto s = generate();
  // bits 5 and 7: 0x00A0; Docs; Level 200 + 0x8000; Attributes 16 + 0x8000
  EXPECT_EQ(s.at("Feature"), "00a0 0001 80c8 8010");
}

TEST_F(Generate, IdenticalDatabasesGiveNoFile) {
  changed->commit();
  EXPECT_FALSE(msi::mst::generateTransform(*changed, *base, dir / "none.mst"));
  EXPECT_FALSE(fs::exists(dir / "none.mst"));
  // A change and its reversal leave nothing to record either.
  setProperty(*changed, "ALLUSERS", "2");
  setProperty(*changed, "ALLUSERS", "1");
  changed->commit();
  EXPECT_FALSE(msi::mst::generateTransform(*changed, *base, dir / "none.mst"));
}

TEST_F(Generate, SameInputsGiveTheSameBytes) {
  setProperty(*changed, "ALLUSERS", "2");
  changed->table("Property").insert({Value("A"), Value("b")});
  changed->commit();
  ASSERT_TRUE(msi::mst::generateTransform(*changed, *base, dir / "one.mst"));
  ASSERT_TRUE(msi::mst::generateTransform(*changed, *base, dir / "two.mst"));
  EXPECT_EQ(fennick::test::ReadText(dir / "one.mst"), fennick::test::ReadText(dir / "two.mst"));
  // The root class is that of transforms.
  const msi::cfb::Clsid transform = {0x82, 0x10, 0x0C, 0, 0, 0, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46};
  EXPECT_EQ(msi::cfb::Reader::open(dir / "one.mst")->rootClsid(), transform);
}

TEST_F(Generate, UnwritablePathIsNamedAndLeavesNothing) {
  setProperty(*changed, "ALLUSERS", "2");
  changed->commit();
  const fs::path target = dir / "missing-folder" / "t.mst";
  EXPECT_TRUE(holds(errorOf([&] { msi::mst::generateTransform(*changed, *base, target); }), {target.string()}));
  EXPECT_FALSE(fs::exists(dir / "missing-folder"));
  for (const auto& entry : fs::directory_iterator(dir))
    EXPECT_EQ(entry.path().extension(), ".msi") << "left behind: " << entry.path();
}

TEST_F(Generate, NewTableHasNullColumnNumbers) {
  addTable(*changed, "MyTable", {col("Id", "i2", true), col("Name", "S64")},
           {{Value(1), Value("one")}, {Value(2), Value()}});
  const auto s = generate();
  // _Tables: insert MyTable (1); _Columns: table, null number, name, type bits + 0x8000.
  EXPECT_EQ(s.at("_Tables"), "0101 0001");
  EXPECT_EQ(s.at("_Columns"), "0401 0001 0000 0002 a502 0401 0001 0000 0003 9d40");
  EXPECT_EQ(s.at("MyTable"), "0201 8001 0004 0201 8002 0000");
  EXPECT_EQ(show().at(0), "add-table\tMyTable\t\t\t\t");
  EXPECT_EQ(show().at(1), "add-column\tMyTable\t\tId\t\ti2 key");
}

TEST_F(Generate, SchemaChangesATransformCannotCarryAreRefused) {
  changed->dropTable("Feature");
  addTable(*changed, "Feature", {col("Feature", "s38", true), col("Level", "i4")});
  changed->commit();
  EXPECT_TRUE(holds(errorOf([&] { msi::mst::generateTransform(*changed, *base, dir / "t.mst"); }), {"table `Feature`"}));
  EXPECT_FALSE(fs::exists(dir / "t.mst"));
}

TEST_F(Generate, CodepageChangeAloneIsATransform) {
  changed->setCodepage(1252);
  const auto s = generate();
  EXPECT_EQ(s.at("_StringPool"), "04e4 0000");
  EXPECT_EQ(show(), (std::vector<std::string>{"codepage\t\t\t\t0\t1252"}));
}

TEST_F(Generate, ChangedAndNewBinaryCellsBringTheirStreams) {
  msi::Table& b = changed->table("Binary");
  b.update(*b.find({Value("Icon")}), {Value("Icon"), blob("new icon")});
  b.insert({Value("Added"), blob("added")});
  const auto s = generate();
  EXPECT_EQ(s.at("Binary.Icon"), "new icon");
  EXPECT_EQ(s.at("Binary.Added"), "added");
  EXPECT_EQ(s.count("Binary.Keep"), 0u);
}

}  // namespace
