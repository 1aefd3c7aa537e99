// Wine's installer service applies transforms our engine generates: for each kind of change,
// a changed copy of a real package is made with our engine, the transform between it and the
// package is generated, msiprobe applies it to the package, and every table Wine then exports
// must equal what Wine exports from our changed copy (the same reader on both sides, binary
// cells as files). Wine's apply is lax (it reports success for records it skips), so the
// tables are compared, not only the status. Changes that SQL states are cases of roundtrips.txt.
//
// Wine applies the two real transforms made on Windows for Example.msi, and lists their
// changes in its view-transform mode. The expected changes are those decoded byte by byte from
// the transforms (Directory: update "Modified", insert "Foo" and "Added", delete "Deleted";
// Property in the Japanese one: ProductLanguage and ProductName; _Tables: a record for "AppId").
// The resulting tables stay in the test's scratch folder for engine tests to compare with.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "engine/cfb/compound_file.h"
#include "engine/db/database.h"
#include "engine/db/stream_name.h"
#include "engine/mst/transform.h"
#include "engine/sql/view.h"
#include "tests/peer/probe.h"
#include "tests/support/db_builders.h"
#include "tests/support/fixtures.h"
#include "tests/support/msitools.h"
#include "tests/support/table_sections.h"

namespace fennick::test {
using namespace fennick::peer;
namespace {
namespace fs = std::filesystem;
using msi::Row;
using msi::Value;

const char* const kGaze = "ui-wix3-minimal-gaze/GazeToolbarInstall.msi";
const char* const kMinimal = "noui-wix311-nofeature-jsign/minimal.msi";

// Relative paths of the files under `dir`, without the summary information (Wine's commit
// writes its own save time) .
std::set<std::string> filesUnder(const fs::path& dir) {
  std::set<std::string> out;
  for (const auto& e : fs::recursive_directory_iterator(dir)) {
    if (!e.is_regular_file()) continue;
    const std::string rel = fs::relative(e.path(), dir).generic_string();
    if (rel == "_SummaryInformation.idt" || rel == "_suminfo.txt") continue;
    out.insert(rel);
  }
  return out;
}

// An archive's three header lines, then its rows sorted: rows are stored in string-id order,
// which differs between a package Wine wrote and one we wrote.
std::vector<std::string> archiveLines(const std::string& text) {
  std::vector<std::string> all = lines(text);
  if (all.size() > 3) std::sort(all.begin() + 3, all.end());
  return all;
}

// Every file of both exports equal; `except` names files checked by the caller instead.
void expectSameExports(const fs::path& applied, const fs::path& expected, const std::set<std::string>& except = {}) {
  const auto files = filesUnder(expected);
  EXPECT_EQ(filesUnder(applied), files);
  for (const auto& f : files) {
    if (!fs::exists(applied / f) || except.count(f)) continue;
    if (f.size() > 4 && f.substr(f.size() - 4) == ".idt") {
      EXPECT_EQ(archiveLines(ReadText(applied / f)), archiveLines(ReadText(expected / f))) << "table archive " << f;
    } else {
      EXPECT_TRUE(ReadText(applied / f) == ReadText(expected / f)) << "binary cell " << f;
    }
  }
}

// Makes the changed copy of `base`, generates the transform, lets Wine apply it and compares.
// `queries` are also run on both sides, for exact text (the archives hold ANSI text).
// Returns the folder of the run (changed.msi, t.mst, applied/, expected/).
struct RoundTrip {
  std::vector<std::string> queries;      // compared exactly on both sides
  std::set<std::string> uncompared;      // export files the test checks itself
};

fs::path roundTrip(const fs::path& dir, const fs::path& base, const std::function<void(msi::Database&)>& change,
                   const RoundTrip& options = {}) {
  {
    auto changed = openCopy(base, dir / "changed.msi");
    change(*changed);
    changed->commit();
  }
  {
    auto changed = msi::Database::open(dir / "changed.msi", msi::OpenMode::ReadOnly);
    auto reference = msi::Database::open(base, msi::OpenMode::ReadOnly);
    EXPECT_TRUE(msi::mst::generateTransform(*changed, *reference, dir / "t.mst"));
  }
  const auto records = parseRecords(probeOutput(
      {"apply", base.string(), (dir / "t.mst").string(), (dir / "applied.msi").string(), (dir / "applied").string()},
      dir / "run"));
  EXPECT_EQ(recordsOf(records, "apply"), (std::vector<Record>{{"0"}}));
  EXPECT_EQ(recordsOf(records, "commit"), (std::vector<Record>{{"0"}}));
  probeOutput({"export", (dir / "changed.msi").string(), (dir / "expected").string()}, dir / "run");
  expectSameExports(dir / "applied", dir / "expected", options.uncompared);
  for (const auto& sql : options.queries)
    EXPECT_EQ(probeOutput({"query", (dir / "applied.msi").string(), sql}, dir / "run"),
              probeOutput({"query", (dir / "changed.msi").string(), sql}, dir / "run"))
        << sql;
  return dir;
}

// A package whose pool needs 3-byte references (more than 65535 strings), made from a real
// one with our engine.
fs::path bigPackage(const fs::path& dir) {
  auto db = openCopy(fixture(kMinimal), dir / "big.msi");
  db->createTable(msi::Schema{"FennickBig", {col("Id", "s16", true), col("Text", "S0")}, false});
  msi::Table& t = db->table("FennickBig");
  for (int i = 0; i < 34000; ++i) t.insert({Value("k" + std::to_string(i)), Value("text " + std::to_string(i))});
  db->commit();
  return dir / "big.msi";
}

// The case of roundtrips.txt named as the running test.
void roundTripCase() {
  std::map<std::string, std::vector<std::string>> c;
  const fs::path cases = fs::path(__FILE__).parent_path() / "roundtrips.txt";
  for (const auto& row : caseRows(cases, ::testing::UnitTest::GetInstance()->current_test_info()->name()))
    c[row.at(0)].push_back(row.at(1));
  const auto execute = [&](msi::Database& db, const std::string& kind) {
    for (const std::string& sql : c[kind]) msi::View::open(db, sql)->execute();
  };
  const fs::path dir = scratchDir();
  fs::path base = c["package"].at(0) == "big.msi" ? bigPackage(dir) : fixture(c["package"].at(0));
  if (c.count("base")) {
    auto copy = openCopy(base, dir / "base.msi");
    execute(*copy, "base");
    copy->commit();
    base = dir / "base.msi";
  }
  ASSERT_FALSE(c["change"].empty());
  roundTrip(dir, base, [&](msi::Database& db) { execute(db, "change"); }, {c["compare"], {}});
}

class TransformRoundTripPeer : public ::testing::Test {
 protected:
  void SetUp() override {
    FENNICK_REQUIRE_FIXTURES();
    FENNICK_REQUIRE_PROBE();
  }
};

// The changes of roundtrips.txt.
TEST_F(TransformRoundTripPeer, PropertyChangesRowInsertsAndDeletes) { roundTripCase(); }
TEST_F(TransformRoundTripPeer, FeatureLevelAndAttributes) { roundTripCase(); }
TEST_F(TransformRoundTripPeer, NewTable) { roundTripCase(); }
TEST_F(TransformRoundTripPeer, NewColumn) { roundTripCase(); }
TEST_F(TransformRoundTripPeer, ChangePastTheSixteenthColumn) { roundTripCase(); }
TEST_F(TransformRoundTripPeer, HebrewCodepage1255) { roundTripCase(); }
TEST_F(TransformRoundTripPeer, DroppedTable) { roundTripCase(); }
TEST_F(TransformRoundTripPeer, PackageWithThreeByteStringReferences) { roundTripCase(); }

TEST_F(TransformRoundTripPeer, ChangedAndNewBinaryStreams) {
  const std::string banner = "a new banner, not really a bitmap";
  const fs::path dir = roundTrip(
      scratchDir(), fixture(kGaze),
      [&](msi::Database& db) {
        msi::Table& binary = db.table("Binary");
        binary.update(*binary.find({Value("WixUI_Bmp_Banner")}), {Value("WixUI_Bmp_Banner"), blob(banner)});
        binary.insert({Value("FennickExtra"), blob(std::string(5000, 'z'))});
      },
      {{}, {"Binary/WixUI_Bmp_Banner"}});
  // Wine 8 cannot replace a stream that exists: it writes a changed binary cell as an insert
  // into _Streams, which refuses the existing name, and reports success. The Windows-made
  // Example.mst encodes its change of Binary.Modified the same way, and Wine keeps the old
  // data there too. Wine still reads our record as a change of that cell:
  auto base = msi::Database::open(fixture(kGaze), msi::OpenMode::ReadOnly);
  msi::Table& binary = base->table("Binary");
  const auto& old = binary.row(*binary.find({Value("WixUI_Bmp_Banner")}))[1].asBlob().bytes();
  EXPECT_TRUE(ReadText(dir / "applied/Binary/WixUI_Bmp_Banner") == std::string(old.begin(), old.end()));
  const std::string view =
      probeOutput({"viewtransform", fixture(kGaze).string(), (dir / "t.mst").string(), (dir / "view").string()},
                  dir / "run");
  using ::testing::_;
  EXPECT_THAT(parseRecords(view), ::testing::Contains(::testing::ElementsAre("Binary", "Data", "WixUI_Bmp_Banner", _, _)));
}

TEST_F(TransformRoundTripPeer, LongStrings) {
  std::string huge;
  for (int i = 0; huge.size() < 70000; ++i) huge += "segment " + std::to_string(i) + "; ";
  roundTrip(
      scratchDir(), fixture(kMinimal),
      [&](msi::Database& db) {
        setProperty(db, "FENNICKLONG", std::string(300, 'L'));
        setProperty(db, "FENNICKHUGE", huge);  // past 64 KiB: a long-string pool entry
      },
      {{"SELECT `Property`, `Value` FROM `Property` WHERE `Property` = 'FENNICKHUGE'"}, {}});
}

TEST_F(TransformRoundTripPeer, TransformWithThreeByteStringReferences) {
  // 2200 rows of 30 distinct strings: the transform's own pool passes 65535 ids. The package
  // already uses 3-byte references: when a package's pool crosses 65535 strings, Wine 8 flags
  // it for 3-byte references but leaves the tables it did not change with 2-byte ones, which
  // then read as garbage (seen with this transform applied to minimal.msi itself).
  // 31 columns, not 32: Wine 8 fills no cell of rows it inserts into a table of 32 columns (it
  // builds the mask of all columns with a 32-bit shift).
  const fs::path dir = scratchDir();
  roundTrip(dir, bigPackage(dir), [](msi::Database& db) {
    std::vector<msi::Column> columns{col("Id", "i4", true)};
    for (int c = 1; c < 31; ++c) columns.push_back(col("C" + std::to_string(c), "S0"));
    db.createTable(msi::Schema{"FennickWide", columns, false});
    msi::Table& t = db.table("FennickWide");
    for (int r = 0; r < 2200; ++r) {
      Row row{Value(r + 1)};
      for (int c = 1; c < 31; ++c) row.push_back(Value(std::to_string(r) + "/" + std::to_string(c)));
      t.insert(std::move(row));
    }
  });
  // The transform really uses 3-byte references: the flag in its pool's first slot.
  const auto pool = msi::cfb::Reader::open(dir / "t.mst")->read({msi::stream_name::encode("_StringPool", true)});
  ASSERT_GE(pool.size(), 4u);
  EXPECT_TRUE(pool[3] & 0x80);
}

// --- the transforms made on Windows ---------------------------------------------------------

const char* const kDir = "noui-wix37-with-transforms-psmsi/";

// Rows of an .idt archive (lines after the three header lines).
std::set<std::string> idtRows(const std::string& text) {
  const auto all = fennick::test::lines(text);
  return {all.begin() + std::min<std::size_t>(3, all.size()), all.end()};
}

std::set<std::string> msitoolsRows(const fs::path& pkg, const std::string& table) {
  return idtRows(fennick::test::msiinfo("export", pkg, table));
}

// Directory after either transform: the base's TARGETDIR, "Modified" (its update found no row,
// so Wine inserts it), "Foo" and "Added"; the delete of the missing "Deleted" changes nothing.
const std::set<std::string> kDirectoryAfter = {
    "TARGETDIR\t\tSourceDir", "Modified\t\tnew value", "Foo\t\t.", "Added\t\t."};

// The view of each transform as the probe writes it to a file, as Wine 8 lists it:
// transform-views/MST.txt. Wine lists the _Tables record as CREATE although its mask is that of
// a delete; the Japanese one's ProductName テストプロダクト comes from its codepage-932 pool.
TEST(TransformPeer, ViewListsTheChangesOfEachTransform) {
  FENNICK_REQUIRE_FIXTURES();
  FENNICK_REQUIRE_PROBE();
  const fs::path scratch = scratchDir();
  const fs::path base = fixture(std::string(kDir) + "Example.msi");
  // Current values are the base's, as msitools reads them.
  const auto baseProperty = msitoolsRows(base, "Property");
  ASSERT_TRUE(baseProperty.count("ProductLanguage\t1033") && baseProperty.count("ProductName\tTEST"));
  for (const std::string mst : {"Example.mst", "Example.jpn.mst"}) {
    SCOPED_TRACE(mst);
    const std::string printed = probeOutput(
        {"viewtransform", base.string(), fixture(kDir + mst).string(), (scratch / mst).string()}, scratch / "run");
    const std::string view = ReadText(scratch / mst / "_TransformView.txt");
    EXPECT_EQ(view, ReadText(fs::path(__FILE__).parent_path() / "transform-views" / (mst + ".txt")));
    // The same listing is printed on standard output.
    EXPECT_EQ(parseRecords(printed).size(), parseRecords(view).size() + 1);
  }
}

// Each transform applied to Example.msi with its own error conditions (the low word of its
// summary CharCount), the committed result exported. Wine creates the table named by the
// transform's _Tables record for "AppId" with no columns, so it cannot export it: the probe
// reports that one table and exits 1.
TEST(TransformPeer, ApplyingEachTransformChangesWhatItHolds) {
  FENNICK_REQUIRE_FIXTURES();
  FENNICK_REQUIRE_PROBE();
  const fs::path scratch = scratchDir();
  const fs::path base = fixture(std::string(kDir) + "Example.msi");
  for (const auto& [mst, conditions] : {std::pair{"Example.mst", "0x1F"}, std::pair{"Example.jpn.mst", "0x3F"}}) {
    SCOPED_TRACE(mst);
    const fs::path outPkg = scratch / mst / "out.msi", outDir = scratch / mst / "tables";
    const ProcessResult probe = runProbe(
        {"apply", base.string(), fixture(kDir + std::string(mst)).string(), outPkg.string(), outDir.string(), conditions},
        scratch / mst / "run");
    const auto records = parseRecords(probe.out);
    EXPECT_EQ(probe.exitCode, 1) << probe.out << probe.err;
    EXPECT_EQ(recordsOf(records, "apply"), (std::vector<Record>{{"0"}}));
    EXPECT_EQ(recordsOf(records, "commit"), (std::vector<Record>{{"0"}}));
    EXPECT_EQ(recordsOf(records, "failed"), (std::vector<Record>{{"AppId", "1615"}}));
    EXPECT_EQ(idtRows(ReadText(outDir / "Directory.idt")), kDirectoryAfter);
    // msitools reads the package Wine committed the same way.
    EXPECT_EQ(msitoolsRows(outPkg, "Directory"), kDirectoryAfter);
    const auto property = idtRows(ReadText(outDir / "Property.idt"));
    if (mst == std::string("Example.jpn.mst")) {
      EXPECT_TRUE(property.count("ProductLanguage\t1041"));
      // Example.msi has the neutral codepage 0, which Wine writes as its ANSI codepage (1252)
      // on commit: the eight Japanese characters survive only as '?'.
      EXPECT_TRUE(property.count("ProductName\t????????"));
      EXPECT_FALSE(property.count("ProductName\tTEST"));
      continue;
    }
    // Every other table is the base's, row for row.
    for (const Record& t : recordsOf(records, "table")) {
      const std::string& table = t.at(0);
      if (table == "Directory" || table.front() == '_') continue;
      EXPECT_EQ(idtRows(ReadText(outDir / (table + ".idt"))), msitoolsRows(base, table)) << "table " << table;
    }
  }
}

}  // namespace
}  // namespace fennick::test
