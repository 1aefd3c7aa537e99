// Applying transforms: the error conditions, and that a failing apply changes nothing, for
// hand-made transforms that are wrong in every way a record can be.
#include <gtest/gtest.h>

#include <fstream>
#include <tuple>

#include "engine/cfb/compound_file.h"
#include "engine/db/stream_name.h"
#include "engine/db/string_pool.h"
#include "engine/mst/transform.h"
#include "tests/mst/mst_test_support.h"
#include "tests/support/fixtures.h"

namespace {
namespace fs = std::filesystem;
using fennick::test::scratchDir;
using namespace fennick::mst_test;
using msi::Value;

const msi::cfb::Clsid kTransform = {0x82, 0x10, 0x0C, 0, 0, 0, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46};

msi::Bytes words(std::initializer_list<std::uint16_t> w) {
  msi::Bytes out;
  for (const auto v : w) {
    out.push_back(static_cast<std::uint8_t>(v & 0xFF));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
  }
  return out;
}

// A transform made by hand: `strings` get ids 1, 2, ... in order.
struct HandMade {
  std::vector<std::string> strings;
  std::map<std::string, msi::Bytes> tables;   // table stream contents by table name
  std::map<std::string, msi::Bytes> streams = {};  // binary-cell streams by name
  int codepage = 0;
  msi::cfb::Clsid clsid = kTransform;

  void write(const fs::path& path) const {
    msi::StringPool pool(codepage);
    for (const auto& s : strings) pool.intern(s);
    const auto ps = pool.serialize(std::vector<std::uint32_t>(pool.size(), 1), false, "test");
    msi::cfb::Editor e(clsid);
    e.putStream({msi::stream_name::encode("_StringPool", true)}, ps.pool);
    e.putStream({msi::stream_name::encode("_StringData", true)}, ps.data);
    for (const auto& [name, data] : tables) e.putStream({msi::stream_name::encode(name, true)}, data);
    for (const auto& [name, data] : streams) e.putStream({msi::stream_name::encode(name, false)}, data);
    e.commit(path);
  }
};

class Apply : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = scratchDir();
    db = createDatabase(dir / "db.msi", {{"A", "1"}, {"B", "2"}});
    addTable(*db, "Feature", {col("Feature", "s38", true), col("Level", "i2"), col("Title", "L64")},
             {{Value("Main"), Value(1), Value("Main")}});
    db->commit();
    before = snapshot(*db);
  }

  // Applies `t`; returns the error text, or "" when it applied.
  std::string apply(const HandMade& t, int errors = 0) {
    t.write(dir / "t.mst");
    try {
      msi::mst::applyTransform(*db, dir / "t.mst", errors);
      return "";
    } catch (const msi::Error& e) {
      EXPECT_EQ(snapshot(*db), before) << "a failed apply changed the database";
      return e.what();
    }
  }

  fs::path dir;
  std::unique_ptr<msi::Database> db;
  Snapshot before;
};

bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST_F(Apply, EachErrorConditionSuppressesItsOwnErrorOnly) {
  // Each transform meets one condition; its strings get ids 1, 2, 3 in order.
  const std::tuple<HandMade, int, std::string> cases[] = {
      {{{"A", "x"}, {{"Property", words({0x0201, 1, 2})}}}, 0x01, "row `A` is added but already exists (error condition 0x01"},
      {{{"A", "x", "Missing"}, {{"Property", words({0x0000, 3})}}}, 0x02,
       "row `Missing` is deleted but does not exist (error condition 0x02"},
      {{{"Feature"}, {{"_Tables", words({0x0101, 1})}}}, 0x04, "table `Feature` is added but already exists (error condition 0x04"},
      {{{"Nope"}, {{"_Tables", words({0x0000, 1})}}}, 0x08, "table `Nope` is dropped but does not exist (error condition 0x08"},
      {{{"A", "x", "Missing"}, {{"Property", words({0x0002, 3, 2})}}}, 0x10,
       "row `Missing` is updated but does not exist (error condition 0x10"},
  };
  for (const auto& [t, condition, message] : cases) {
    SCOPED_TRACE(message);
    EXPECT_TRUE(has(apply(t), message));
    EXPECT_FALSE(apply(t, 0x3F ^ condition).empty());
    // Suppressed, the record is skipped: the row keeps its value, no row appears.
    EXPECT_EQ(apply(t, condition), "");
  }
  EXPECT_EQ(snapshot(*db), before);
}

TEST_F(Apply, CodepageChangeNeedsItsConditionUnlessTheDatabaseIsNeutral) {
  db->setCodepage(1252);
  db->commit();
  before = snapshot(*db);
  HandMade t{{}, {}};
  t.codepage = 1251;
  EXPECT_TRUE(has(apply(t), "codepage 1251 differs from the database's 1252 (error condition 0x20"));
  EXPECT_EQ(apply(t, 0x20), "");
  EXPECT_EQ(db->codepage(), 1251);
}

TEST_F(Apply, LaterRecordsSeeEarlierOnes) {
  // insert C=x, update C to y, delete B, insert B=x again
  HandMade t{{"C", "x", "y", "B"}, {{"Property", words({0x0201, 1, 2, 0x0002, 1, 3, 0x0000, 4, 0x0201, 4, 2})}}};
  EXPECT_EQ(apply(t), "");
  const auto rows = snapshot(*db).at("Property");
  EXPECT_EQ(rows, (std::vector<std::string>{"Property s72 key, Value l0", "A|1|", "B|x|", "C|y|"}));
}

TEST_F(Apply, FailureHalfwayLeavesTheDatabaseAsItWas) {
  // A new table, a Property change, and a row the database refuses only when it is inserted
  // (its key makes a binary-cell stream name too long): everything done before is undone.
  const std::string longKey(70, 'k');
  HandMade t{{"A", "changed", "Bin", "Name", "Data", longKey},
             {{"_Tables", words({0x0101, 3})},
              {"_Columns", words({0x0401, 3, 0, 4, 0xAD48, 0x0401, 3, 0, 5, 0x9900})},
              {"Property", words({0x0002, 1, 2})},
              {"Bin", words({0x0201, 6, 0})}}};
  const std::string error = apply(t);
  EXPECT_TRUE(has(error, "table `Bin`")) << error;
  EXPECT_FALSE(db->hasTable("Bin"));
}

TEST_F(Apply, HostileTransformsAreRefusedWithTheirCause) {
  struct Case {
    const char* what;
    HandMade t;
    const char* expected;
    int errors = 0x3F;
  };
  HandMade database{{}, {}};
  database.clsid = {0x84, 0x10, 0x0C, 0, 0, 0, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46};
  const std::vector<Case> cases = {
      {"view-transform mode", {{}, {}}, "view-transform mode", 0x100},
      {"unknown error conditions", {{}, {}}, "error conditions 0x40", 0x40},
      {"a database, not a transform", database, "not a transform", 0},
      {"truncated record", {{"A"}, {{"Property", words({0x0002, 1})}}}, "needs 6 bytes"},
      {"lone byte", {{"A"}, {{"Property", msi::Bytes{0x02}}}}, "lone byte"},
      {"string id past the pool", {{"A"}, {{"Property", words({0x0002, 1, 9})}}}, "string id 9"},
      {"insert wider than the table", {{"A"}, {{"Property", words({0x0301, 1, 1, 1})}}}, "insert of 3 columns"},
      {"mask wider than the table", {{"A"}, {{"Property", words({0x0006, 1, 1, 1})}}}, "update mask 0x0006"},
      {"insert of no columns", {{}, {{"Property", words({0x0001})}}}, "no columns"},
      {"table the database lacks", {{"A"}, {{"Nothing", words({0x0000, 1})}}}, "table `Nothing`"},
      {"column of a missing table", {{"T", "C"}, {{"_Columns", words({0x0401, 1, 0, 2, 0xA502})}}}, "neither in the database"},
      {"column that leaves a gap", {{"Feature", "X"}, {{"_Columns", words({0x0401, 1, 0x8009, 2, 0x9D20})}}}, "gap"},
      {"column redefined", {{"Feature", "Level"}, {{"_Columns", words({0x0401, 1, 0x8002, 2, 0x8104})}}}, "already"},
      {"column removed", {{"Feature", "Level"}, {{"_Columns", words({0x0000, 1, 0x8002})}}}, "not supported"},
      {"binary cell without its stream",
       {{"Binary", "Name", "Data", "Icon"},
        {{"_Tables", words({0x0101, 1})},
         {"_Columns", words({0x0401, 1, 0, 2, 0xAD48, 0x0401, 1, 0, 3, 0x8900})},
         {"Binary", words({0x0201, 4, 1})}}},
       "no stream `Binary.Icon`"},
      {"table added without columns", {{"Empty"}, {{"_Tables", words({0x0101, 1})}}}, "without columns"},
      {"system table dropped", {{"_Columns"}, {{"_Tables", words({0x0000, 1})}}}, "system table"},
  };
  for (const auto& c : cases) {
    const std::string error = apply(c.t, c.errors);
    EXPECT_TRUE(has(error, c.expected)) << c.what << ": " << error;
    EXPECT_TRUE(has(error, (dir / "t.mst").string())) << c.what << ": " << error;
  }
  std::ofstream(dir / "junk.mst") << "not a compound file";
  for (const char* file : {"junk.mst", "absent.mst"})
    EXPECT_THROW(msi::mst::applyTransform(*db, dir / file, 0), msi::Error) << file;
  EXPECT_EQ(snapshot(*db), before);
}

TEST_F(Apply, AddedColumnAndNewTableWithBinaryCells) {
  HandMade t{{"Feature", "Note", "Main", "hello", "Binary", "Name", "Data", "Icon"},
             {{"_Tables", words({0x0101, 5})},
              {"_Columns", words({0x0401, 1, 0x8004, 2, 0x9D20, 0x0401, 5, 0, 6, 0xAD48, 0x0401, 5, 0, 7, 0x9900})},
              {"Feature", words({0x0008, 3, 4})},
              {"Binary", words({0x0201, 8, 1})}},
             {{"Binary.Icon", bytesOf("icon data")}}};
  Snapshot tables = before;
  for (const auto& [table, rows] : expected()) tables[table] = rows;
  EXPECT_EQ(apply(t), "");
  EXPECT_EQ(snapshot(*db), tables);
}

}  // namespace
