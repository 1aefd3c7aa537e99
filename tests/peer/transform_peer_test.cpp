// Wine applies the two real transforms made on Windows for Example.msi, and lists their
// changes in its view-transform mode. The expected changes are those decoded byte by byte from
// the transforms (Directory: update "Modified", insert "Foo" and "Added", delete "Deleted";
// Property in the Japanese one: ProductLanguage and ProductName; _Tables: a record for "AppId").
// The resulting tables stay in the test's scratch folder for engine tests to compare with.
#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/peer/probe.h"
#include "tests/support/msitools.h"

namespace fennick::test {
using namespace fennick::peer;
namespace {
namespace fs = std::filesystem;

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

struct Applied {
  ProcessResult probe;
  fs::path outPkg;
  fs::path outDir;
};

// Applies MST to Example.msi with the error conditions given, exporting the committed result.
Applied apply(const std::string& mst, const std::string& conditions, const fs::path& scratch) {
  Applied a{{}, scratch / "out.msi", scratch / "tables"};
  a.probe = runProbe({"apply", fixture(std::string(kDir) + "Example.msi").string(),
                      fixture(kDir + mst).string(), a.outPkg.string(), a.outDir.string(), conditions},
                     scratch / "run");
  return a;
}

// Wine creates the table named by the transform's _Tables record for "AppId" with no columns,
// so it cannot export it: the probe reports that one table and exits 1.
void expectOnlyAppIdFailed(const Applied& a) {
  const auto records = parseRecords(a.probe.out);
  EXPECT_EQ(a.probe.exitCode, 1) << a.probe.out << a.probe.err;
  EXPECT_EQ(recordsOf(records, "apply"), (std::vector<Record>{{"0"}}));
  EXPECT_EQ(recordsOf(records, "commit"), (std::vector<Record>{{"0"}}));
  EXPECT_EQ(recordsOf(records, "failed"), (std::vector<Record>{{"AppId", "1615"}}));
}

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

// Each transform with its own error conditions (the low word of its summary CharCount).
TEST(TransformPeer, ApplyingEachTransformChangesWhatItHolds) {
  FENNICK_REQUIRE_FIXTURES();
  FENNICK_REQUIRE_PROBE();
  const fs::path scratch = scratchDir();
  const fs::path base = fixture(std::string(kDir) + "Example.msi");
  for (const auto& [mst, conditions] : {std::pair{"Example.mst", "0x1F"}, std::pair{"Example.jpn.mst", "0x3F"}}) {
    SCOPED_TRACE(mst);
    const Applied a = apply(mst, conditions, scratch / mst);
    expectOnlyAppIdFailed(a);
    EXPECT_EQ(idtRows(ReadText(a.outDir / "Directory.idt")), kDirectoryAfter);
    // msitools reads the package Wine committed the same way.
    EXPECT_EQ(msitoolsRows(a.outPkg, "Directory"), kDirectoryAfter);
    const auto property = idtRows(ReadText(a.outDir / "Property.idt"));
    if (mst == std::string("Example.jpn.mst")) {
      EXPECT_TRUE(property.count("ProductLanguage\t1041"));
      // Example.msi has the neutral codepage 0, which Wine writes as its ANSI codepage (1252)
      // on commit: the eight Japanese characters survive only as '?'.
      EXPECT_TRUE(property.count("ProductName\t????????"));
      EXPECT_FALSE(property.count("ProductName\tTEST"));
      continue;
    }
    // Every other table is the base's, row for row.
    for (const Record& t : recordsOf(parseRecords(a.probe.out), "table")) {
      const std::string& table = t.at(0);
      if (table == "Directory" || table.front() == '_') continue;
      EXPECT_EQ(idtRows(ReadText(a.outDir / (table + ".idt"))), msitoolsRows(base, table)) << "table " << table;
    }
  }
}

}  // namespace
}  // namespace fennick::test
