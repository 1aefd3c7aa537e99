// Every real package reads as msitools reads it: same tables, rows, cells and streams.
#include <gtest/gtest.h>

#include <map>

#include "engine/db/database.h"
#include "tests/db/msitools.h"
#include "tests/support/fixtures.h"

namespace {

using namespace fennick::test;

// The text msitools exports for a cell: binary cells show their stream name.
std::string exportText(const msi::Value& v, const msi::Table& t, const msi::Row& row) {
  if (!v.isBlob()) return v.text();
  std::string name = t.schema().name;
  for (std::size_t c = 0; c < row.size(); ++c)
    if (t.schema().columns[c].key) name += "." + row[c].text();
  return name;
}

// The body of `msiinfo export` (after its three header lines): values joined by tabs, rows
// ended by CR LF, with tabs and line breaks inside values written as they are.
std::string exportBody(const std::string& out) {
  std::size_t pos = 0;
  for (int i = 0; i < 3 && pos != std::string::npos; ++i) {
    pos = out.find('\n', pos);
    if (pos != std::string::npos) ++pos;
  }
  return pos == std::string::npos ? std::string() : out.substr(pos);
}

TEST(FixtureRead, TablesRowsAndCellsMatchMsitools) {
  FENNICK_REQUIRE_FIXTURES();
  for (const auto& pkg : fixturePackages()) {
    SCOPED_TRACE(pkg.string());
    auto db = msi::Database::open(pkg, msi::OpenMode::ReadOnly);
    EXPECT_EQ(db->tableNames(), msiinfoTables(pkg));
    for (const auto& name : db->tableNames()) {
      SCOPED_TRACE(name);
      const msi::Table& t = db->table(name);
      const auto expected = lines(exportBody(
          run("msiinfo export " + shellQuote(pkg.string()) + " " + shellQuote(name)).out));
      std::string ours;
      for (std::size_t r = 0; r < t.size(); ++r) {
        const auto& row = t.row(r);
        for (std::size_t c = 0; c < row.size(); ++c) ours += (c ? "\t" : "") + exportText(row[c], t, row);
        ours += "\r\n";
        // Every row is found again by its key.
        if (t.schema().keyCount() > 0) {
          EXPECT_EQ(t.find(row), std::optional<std::size_t>(r));
        }
      }
      const auto got = lines(ours);
      ASSERT_EQ(got.size(), expected.size());
      for (std::size_t i = 0; i < got.size(); ++i) EXPECT_EQ(got[i], expected[i]) << "line " << i;
    }
  }
}

TEST(FixtureRead, StreamsMatchMsitoolsListAndContent) {
  FENNICK_REQUIRE_FIXTURES();
  const auto pkg = fixture("ui-wix3-minimal-gaze/GazeToolbarInstall.msi");
  auto db = msi::Database::open(pkg, msi::OpenMode::ReadOnly);
  msi::Table& streams = db->table("_Streams");
  std::vector<std::string> ours;
  for (std::size_t i = 0; i < streams.size(); ++i) ours.push_back(streams.row(i)[0].asString());
  auto theirs = lines(run("msiinfo streams " + shellQuote(pkg.string())).out);
  std::sort(theirs.begin(), theirs.end());
  std::sort(ours.begin(), ours.end());
  EXPECT_EQ(ours, theirs);

  // Binary cells hold the bytes msitools extracts for their stream.
  const msi::Table& binary = db->table("Binary");
  ASSERT_GT(binary.size(), 0u);
  for (std::size_t i = 0; i < binary.size(); ++i) {
    const auto& row = binary.row(i);
    const std::string name = "Binary." + row[0].asString();
    const auto extracted = run("msiinfo extract " + shellQuote(pkg.string()) + " " + shellQuote(name)).out;
    ASSERT_TRUE(row[1].isBlob()) << name;
    const auto& bytes = row[1].asBlob().bytes();
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), extracted) << name;
  }
}

}  // namespace

namespace {

TEST(FixtureRead, SummaryInformationMatchesMsitools) {
  FENNICK_REQUIRE_FIXTURES();
  const std::map<std::string, std::uint32_t> strings = {
      {"Title", msi::PID_TITLE},         {"Subject", msi::PID_SUBJECT},
      {"Author", msi::PID_AUTHOR},       {"Keywords", msi::PID_KEYWORDS},
      {"Comments", msi::PID_COMMENTS},   {"Template", msi::PID_TEMPLATE},
      {"Last author", msi::PID_LASTAUTHOR}, {"Revision number (UUID)", msi::PID_REVNUMBER},
      {"Application", msi::PID_APPNAME}};
  const std::map<std::string, std::uint32_t> numbers = {
      {"Version", msi::PID_PAGECOUNT}, {"Source", msi::PID_WORDCOUNT}, {"Security", msi::PID_SECURITY}};
  for (const auto& pkg : fixturePackages()) {
    SCOPED_TRACE(pkg.string());
    auto db = msi::Database::open(pkg, msi::OpenMode::ReadOnly);
    const auto& props = db->summaryInfo().properties;
    int checked = 0, shown = 0;
    for (const auto& line : lines(run("msiinfo suminfo " + shellQuote(pkg.string())).out)) {
      const auto colon = line.find(": ");
      if (colon == std::string::npos) continue;
      ++shown;
      const std::string label = line.substr(0, colon), value = line.substr(colon + 2);
      if (const auto s = strings.find(label); s != strings.end()) {
        ASSERT_TRUE(props.count(s->second)) << label;
        EXPECT_EQ(std::get<std::string>(props.at(s->second)), value) << label;
        ++checked;
      } else if (const auto n = numbers.find(label); n != numbers.end()) {
        ASSERT_TRUE(props.count(n->second)) << label;
        EXPECT_EQ(std::to_string(std::get<std::int32_t>(props.at(n->second))), value.substr(0, value.find(' ')))
            << label;
        ++checked;
      } else if (label == "Created" || label == "Last saved" || label == "Last printed") {
        const auto pid = label == "Created" ? msi::PID_CREATE_DTM
                                            : label == "Last saved" ? msi::PID_LASTSAVE_DTM : msi::PID_LASTPRINTED;
        EXPECT_TRUE(props.count(pid) && std::holds_alternative<msi::FileTime>(props.at(pid))) << label;
        ++checked;
      }
    }
    // Every property msitools shows is compared; authoring tools write from 8 (a package made
    // by Python's msilib) to 15 of them.
    EXPECT_EQ(checked, shown);
    EXPECT_GE(checked, 8);
  }
}

}  // namespace
