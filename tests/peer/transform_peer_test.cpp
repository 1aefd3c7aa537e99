// Wine applies the two real transforms made on Windows for Example.msi, and lists their
// changes in its view-transform mode. The expected changes are those decoded byte by byte from
// the transforms (Directory: update "Modified", insert "Foo" and "Added", delete "Deleted";
// Property in the Japanese one: ProductLanguage and ProductName; _Tables: a record for "AppId").
// The resulting tables stay in the test's scratch folder for engine tests to compare with.
#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/peer/probe.h"
#include "tests/support/msitools.h"

namespace fennick::test {
using namespace fennick::peer;
using ::testing::Contains;
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

TEST(TransformPeer, ViewListsTheChangesOfEachTransform) {
  FENNICK_REQUIRE_FIXTURES();
  FENNICK_REQUIRE_PROBE();
  const fs::path scratch = scratchDir();
  const fs::path base = fixture(std::string(kDir) + "Example.msi");

  // The view of a transform as the probe writes it to a file; what it printed.
  ProcessResult printed;
  const auto view = [&](const std::string& mst) {
    printed = runProbe({"viewtransform", base.string(), fixture(kDir + mst).string(), (scratch / mst).string()},
                       scratch / "run");
    EXPECT_EQ(printed.exitCode, 0) << printed.err;
    return parseRecords(ReadText(scratch / mst / "_TransformView.txt"));
  };
  const auto enRows = view("Example.mst");
  ASSERT_FALSE(enRows.empty());
  EXPECT_EQ(enRows[0], (Record{"Table", "Column", "Row", "Data", "Current"}));
  EXPECT_THAT(enRows, Contains(Record{"Directory", "DefaultDir", "Modified", "new value", ""}));
  EXPECT_THAT(enRows, Contains(Record{"Directory", "INSERT", "Foo", "", ""}));
  EXPECT_THAT(enRows, Contains(Record{"Directory", "INSERT", "Added", "", ""}));
  // Wine lists the _Tables record as CREATE although its mask is that of a delete.
  EXPECT_THAT(enRows, Contains(Record{"AppId", "CREATE", "", "", ""}));
  for (const Record& r : enRows) EXPECT_NE(r.at(0), "Property") << "only the Japanese one changes Property";
  // The same listing is printed on standard output.
  EXPECT_EQ(parseRecords(printed.out).size(), enRows.size() + 1);

  const auto jpnRows = view("Example.jpn.mst");
  // Current values are the base's, as msitools reads them.
  const auto baseProperty = msitoolsRows(base, "Property");
  ASSERT_TRUE(baseProperty.count("ProductLanguage\t1033") && baseProperty.count("ProductName\tTEST"));
  EXPECT_THAT(jpnRows, Contains(Record{"Property", "Value", "ProductLanguage", "1041", "1033"}));
  // ProductName テストプロダクト, from the transform's codepage-932 pool.
  EXPECT_THAT(jpnRows, Contains(Record{"Property", "Value", "ProductName",
                                       "\xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88\xE3\x83\x97\xE3\x83\xAD\xE3\x83"
                                       "\x80\xE3\x82\xAF\xE3\x83\x88", "TEST"}));
  EXPECT_THAT(jpnRows, Contains(Record{"Directory", "DefaultDir", "Modified", "new value", ""}));
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
