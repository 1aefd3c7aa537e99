// Wine's export of every real package agrees, table by table, with what msitools exports:
// this proves that msiprobe reads packages faithfully before anything is compared with it.
//
// The two exporters differ in a few known ways; each is normalised in one place below:
//  - binary cells (foldBinaryCells): Wine writes the stream to <Table>/<key> and the key in the
//    cell; msitools writes no file and the stream name <Table>.<key>. The stream's bytes are
//    compared with `msiinfo extract` instead.
//  - text outside ASCII (foldNonAscii): msitools writes UTF-8; Wine writes its ANSI codepage
//    (1252 in our prefix), '?' for characters that lacks. The exact text is checked through
//    the probe's UTF-8 query output instead (QueryOutputReadsTextExactly...).
//  - _ForceCodepage: msitools ends the file with a NUL byte (dropped).
//  - _SummaryInformation: Wine 8 writes only the properties whose id is below the number of
//    properties present (its loop counts properties but indexes by id); the probe's
//    _suminfo.txt, read property by property, is compared in full.
#include <algorithm>
#include <map>
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

// One '?' per character outside ASCII: a UTF-8 sequence (msitools) or a byte (Wine).
std::string foldNonAscii(std::string_view s, bool utf8) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    const auto c = static_cast<unsigned char>(s[i]);
    if (c < 0x80) {
      out += static_cast<char>(c);
      continue;
    }
    out += '?';
    if (utf8)
      while (i + 1 < s.size() && (static_cast<unsigned char>(s[i + 1]) & 0xC0) == 0x80) ++i;
  }
  return out;
}

// First line where the archives differ, or empty when they agree.
std::string firstDifference(const std::vector<std::string>& wine,
                            const std::vector<std::string>& msitools) {
  for (size_t i = 0; i < std::max(wine.size(), msitools.size()); ++i) {
    const std::string w = i < wine.size() ? wine[i] : "<no line>";
    const std::string m = i < msitools.size() ? msitools[i] : "<no line>";
    if (w != m)
      return "line " + std::to_string(i + 1) + ":\n  wine:     " + w + "\n  msitools: " + m;
  }
  return {};
}

struct Exported {
  std::string pkgName;
  fs::path pkg;
  fs::path wineDir;
  fs::path scratch;
};

// Rewrites Wine's binary cells as msitools names them, after checking that the file Wine
// wrote holds the stream's bytes.
void foldBinaryCells(const Exported& e, const std::string& table, std::vector<std::string>& wine) {
  if (wine.size() < 3) return;
  const std::vector<std::string> types = split(wine[1], '\t');
  for (size_t row = 3; row < wine.size(); ++row) {
    const std::vector<std::string> c = split(wine[row], '\t');
    std::string folded;
    for (size_t col = 0; col < c.size(); ++col) {
      const bool binary = col < types.size() && (types[col].starts_with('v') || types[col].starts_with('V')) && !c[col].empty();
      const std::string stream = table + "." + c[col];
      if (binary) {
        EXPECT_TRUE(ReadText(e.wineDir / table / c[col]) == outputOf({"msiinfo", "extract", e.pkg.string(), stream}, e.scratch))
            << e.pkgName << ": stream " << stream << " differs from Wine's " << table << "/" << c[col];
      }
      folded += (col ? "\t" : "") + (binary ? stream : c[col]);
    }
    wine[row] = folded;
  }
}

void compareSummary(const Exported& e, const std::vector<std::string>& msitools) {
  // msitools: header lines, then "PID<TAB>VALUE".
  std::map<int, std::string> expected;
  for (size_t i = 3; i < msitools.size(); ++i) {
    const std::vector<std::string> c = split(msitools[i], '\t');
    if (c.size() == 2) expected[std::stoi(c[0])] = c[1];
  }
  std::map<int, std::string> actual;
  for (const auto& r : parseRecords(ReadText(e.wineDir / "_suminfo.txt")))
    if (r.size() == 3) actual[std::stoi(r[0])] = r[2];
  EXPECT_EQ(actual, expected) << e.pkgName << ": _suminfo.txt";

  const std::vector<std::string> wine = lines(ReadText(e.wineDir / "_SummaryInformation.idt"));
  std::vector<std::string> belowCount;
  for (size_t i = 0; i < msitools.size(); ++i)
    if (i < 3 || std::stoul(split(msitools[i], '\t')[0]) < expected.size()) belowCount.push_back(msitools[i]);
  EXPECT_EQ(firstDifference(wine, belowCount), "") << e.pkgName << ": _SummaryInformation";
}

void compareTable(const Exported& e, const std::string& table) {
  std::string refText = outputOf({"msiinfo", "export", e.pkg.string(), table}, e.scratch);
  if (table == "_ForceCodepage" && !refText.empty() && refText.back() == '\0') refText.pop_back();
  const std::vector<std::string> msitools = lines(refText);
  if (table == "_SummaryInformation") return compareSummary(e, msitools);

  std::vector<std::string> wine = lines(ReadText(e.wineDir / (table + ".idt")));
  foldBinaryCells(e, table, wine);
  std::vector<std::string> wineFolded, msitoolsFolded;
  for (const auto& l : wine) wineFolded.push_back(foldNonAscii(l, false));
  for (const auto& l : msitools) msitoolsFolded.push_back(foldNonAscii(l, true));
  EXPECT_EQ(firstDifference(wineFolded, msitoolsFolded), "") << e.pkgName << ": table " << table;
}

TEST(ExportPeer, EveryTableOfEveryPackageMatchesMsitools) {
  FENNICK_REQUIRE_FIXTURES();
  FENNICK_REQUIRE_PROBE();
  const fs::path scratch = scratchDir();
  const auto packages = fixturePackages();
  ASSERT_FALSE(packages.empty());
  for (const fs::path& pkg : packages) {
    Exported e{pkg.parent_path().filename().string() + "/" + pkg.filename().string(), pkg,
               scratch / (pkg.parent_path().filename().string() + "-" + pkg.stem().string()),
               scratch / "run"};
    const std::string probe = probeOutput({"export", pkg.string(), e.wineDir.string()}, e.scratch);
    std::set<std::string> expected;
    for (const auto& t : lines(outputOf({"msiinfo", "tables", pkg.string()}, e.scratch)))
      if (!t.empty()) expected.insert(t);
    std::set<std::string> exported;
    for (const auto& r : recordsOf(parseRecords(probe), "table")) exported.insert(r.at(0));
    EXPECT_EQ(exported, expected) << e.pkgName << ": tables exported";

    for (const std::string& table : expected) compareTable(e, table);
  }
}

// The probe's query output against what msitools reads: a Hebrew feature description in a
// codepage-1255 package carries the same characters in Wine's UTF-8 as msitools decodes, and
// binary cells show as the sizes of their streams.
TEST(ExportPeer, QueryOutputReadsTextExactlyAndBinaryCellsAsStreamSizes) {
  FENNICK_REQUIRE_FIXTURES();
  FENNICK_REQUIRE_PROBE();
  const fs::path scratch = scratchDir();
  const fs::path hebrew = fixture("odd-wix3-testdata/he-il-codepage1255.msi");
  const auto rows = parseRecords(probeOutput({"query", hebrew.string(), "SELECT `Feature`, `Description` FROM `Feature`"}, scratch));
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0], (fennick::peer::Record{"Feature", "Description"}));
  const auto refLines = lines(outputOf({"msiinfo", "export", hebrew.string(), "Feature"}, scratch));
  ASSERT_EQ(refLines.size(), 4u);
  const auto refCells = split(refLines[3], '\t');
  EXPECT_EQ(rows[1], (fennick::peer::Record{refCells.at(0), refCells.at(3)}));
  EXPECT_NE(rows[1].at(1).find("\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D"), std::string::npos)  // shalom
      << rows[1].at(1);

  const fs::path gaze = fixture("ui-wix3-minimal-gaze/GazeToolbarInstall.msi");
  const auto binary = parseRecords(probeOutput({"query", gaze.string(), "SELECT * FROM `Binary`"}, scratch));
  ASSERT_GT(binary.size(), 1u);
  for (size_t i = 1; i < binary.size(); ++i) {
    const std::string stream = outputOf({"msiinfo", "extract", gaze.string(), "Binary." + binary[i].at(0)}, scratch);
    EXPECT_EQ(binary[i].at(1), "binary:" + std::to_string(stream.size())) << binary[i].at(0);
  }
}

// The probe itself: wrong usage and packages it cannot open.
TEST(SessionPeer, ProbeRefusesWrongUsageAndBrokenPackages) {
  FENNICK_REQUIRE_FIXTURES();
  FENNICK_REQUIRE_PROBE();
  const fs::path scratch = scratchDir();
  const ProcessResult none = runProbe({}, scratch);
  EXPECT_EQ(none.exitCode, 2);
  EXPECT_NE(none.err.find("usage"), std::string::npos) << none.err;
  const ProcessResult missing = runProbe({"session", (scratch / "absent.msi").string()}, scratch);
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_NE(missing.err.find("absent.msi"), std::string::npos) << missing.err;
  // A file that is not a compound file: the service refuses it, the probe says which.
  const ProcessResult corrupt = runProbe(
      {"export", fixture("odd-wix3-testdata/corrupt-ole-header-then-xml.msi").string(),
       (scratch / "out").string()},
      scratch);
  EXPECT_EQ(corrupt.exitCode, 1);
  EXPECT_NE(corrupt.err.find("corrupt-ole-header-then-xml.msi"), std::string::npos) << corrupt.err;
}

}  // namespace
}  // namespace fennick::test
