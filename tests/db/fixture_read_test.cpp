// Every real package's summary information reads as msitools reads it. (Tables, rows and cells:
// SqlFixtures.SelectStarReturnsEveryTableAsMsitoolsExportsIt; streams and binary cells:
// MsitoolsCli.StreamsAndExtractAgreeWithMsiinfo, MsitoolsPeer.EveryExportedTableHasTheRowsMsiinfoExports.)
#include <gtest/gtest.h>

#include <map>

#include "engine/db/database.h"
#include "tests/support/msitools.h"
#include "tests/support/fixtures.h"

namespace {

using namespace fennick::test;

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
    for (const auto& line : lines(msiinfo("suminfo", pkg))) {
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
