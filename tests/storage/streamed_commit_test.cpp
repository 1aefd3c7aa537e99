// Commits into a package make its string data as they write it, or leave the stored data as
// it is when only reference counts changed. Either way msitools must read every string where
// it was: a size announced ahead that the data does not fill, or stored data kept when it
// should have been written again, shows as texts that moved.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "engine/db/database.h"
#include "tests/support/db_builders.h"
#include "tests/support/fixtures.h"
#include "tests/support/msitools.h"

namespace {

using namespace fennick::test;
namespace fs = std::filesystem;
using Rows = std::vector<std::vector<std::string>>;

TEST(StreamedCommit, MsitoolsReadsEveryStringAfterEachKindOfPoolChange) {
  FENNICK_REQUIRE_MSITOOLS();
  const fs::path pkg = scratchCopy("ui-wix3-putty-installdir-featuretree/putty-0.68-installer.msi", "package.msi");
  const Rows control = msiinfoRows(pkg, "Control");
  auto db = msi::Database::open(pkg, msi::OpenMode::Transact);
  // Strings the package holds and goes on holding: a row made of them changes counts only.
  const std::string dialog = db->table("Dialog").row(0)[0].text();
  const std::string product = "PuTTY release 0.68";
  struct Step {
    const char* what;
    std::function<void(msi::Database&)> edit;
    std::vector<std::string> expect;  // the Property row msitools must read afterwards
  } steps[] = {
      {"a new string", [](msi::Database& d) { setProperty(d, "FennickNote", "written as it is made"); },
       {"FennickNote", "written as it is made"}},
      {"counts only", [&](msi::Database& d) { setProperty(d, dialog, product); }, {dialog, product}},
      {"a string let go of", [&](msi::Database& d) { setProperty(d, "FennickNote", product); },
       {"FennickNote", product}},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.what);
    step.edit(*db);
    db->commit();
    const Rows properties = msiinfoRows(pkg, "Property");
    EXPECT_NE(std::find(properties.begin(), properties.end(), step.expect), properties.end());
    EXPECT_EQ(msiinfoRows(pkg, "Control"), control);
  }
}

}  // namespace
