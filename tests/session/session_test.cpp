// Opening sessions: the properties the service sets on the emulated machine, the installation
// context and property handling. (Every real package run through its UI sequence: the session
// peer test; a package that cannot be opened: the database's own open tests.)
#include <regex>

#include <gtest/gtest.h>

#include "engine/session/session.h"
#include "tests/session/test_package.h"
#include "tests/support/fixtures.h"
#include "tests/support/session_checks.h"

namespace {

using namespace fennick::test;

TEST(SessionOpen, SetsTheServicePropertiesOfAWindows10Machine) {
  FENNICK_REQUIRE_FIXTURES();
  const auto pkg = fixture("ui-wix3-putty-installdir-featuretree/putty-0.68-installer.msi");
  auto session = msi::Session::open(pkg, testOptions());
  EXPECT_TRUE(answers(*session));
  EXPECT_TRUE(std::regex_match(session->property("Date"), std::regex(R"(\d{1,2}/\d{1,2}/\d{4})")));
  EXPECT_TRUE(std::regex_match(session->property("Time"), std::regex(R"(\d{1,2}:\d\d:\d\d)")));
  const std::string original = session->property("OriginalDatabase");
  EXPECT_TRUE(original.starts_with("Z:\\") && original.ends_with("\\putty-0.68-installer.msi"))
      << original;
  EXPECT_EQ(session->property("SourceDir"), original.substr(0, original.rfind('\\') + 1));
  for (const auto& [name, value] : session->properties())
    if (name.ends_with("Folder")) {
      EXPECT_TRUE(value.ends_with("\\")) << name << " = " << value;
    }
  EXPECT_FALSE(session->is64BitPackage());
  EXPECT_TRUE(msi::Session::open(fixture("odd-wix3-testdata/TypicalV3-x64.msi"), testOptions())
                  ->is64BitPackage());
  EXPECT_EQ(session->database()->readOnly(), true);
}

// ALLUSERS=2 in the package: per-machine unless the command line says otherwise.
TEST(SessionOpen, TheInstallationContextChoosesTheFolders) {
  for (const PropertyValues& given : {PropertyValues{}, {{"MSIINSTALLPERUSER", "1"}}, {{"ALLUSERS", ""}}}) {
    TestPackage pkg;
    pkg.add("Property", {{"ALLUSERS", "2"}});
    auto options = testOptions();
    options.properties = given;
    EXPECT_TRUE(answers(*pkg.open(options), given.empty() ? "as packaged" : given[0].first + "=" + given[0].second));
  }
}

TEST(SessionProperties, SetRemoveAndHoldLongValues) {
  TestPackage pkg;
  pkg.add("Property", {{"Existing", "one"}});
  auto options = testOptions();
  options.properties = {{"Existing", "two"}, {"VersionNT", "500"}};
  auto session = pkg.open(options);
  EXPECT_TRUE(answers(*session));
  session->setProperty("Existing", "");
  EXPECT_EQ(session->property("Existing"), "");
  EXPECT_THROW(session->setProperty("", "x"), msi::Error);
  const std::string big(1 << 20, 'x');
  session->setProperty("BIG", big);
  EXPECT_EQ(session->property("BIG").size(), big.size());
  EXPECT_EQ(session->evaluateCondition("BIG >< \"xx\""), msi::ConditionResult::True);
  EXPECT_EQ(session->formatText("[BIG]").size(), big.size());
  // The package itself is never changed: the Property table keeps its value.
  EXPECT_EQ(pkg.db->table("Property").row(0)[1].text(), "one");
}

}  // namespace
