#include <gtest/gtest.h>

#include "src/driver/run_state.h"
#include "src/driver/session_driver.h"
#include "tests/support/fake_installer.h"

namespace fennick::driver {
namespace {

using test::FakePackage;
using test::ToolRun;
using Box = test::RecordingHost::Box;

FakePackage PackageWithUI() {
  return test::ReadFakePackage(std::filesystem::path(__FILE__).parent_path() / "packages.txt", {"with UI"});
}

TEST(SessionDriver, OpenFailureShowsTheExactMessageAndRefuses) {
  const ToolRun h(PackageWithUI(), "", {"\"/pkgs/My", "Setup.msi\""});
  EXPECT_EQ(h.status, kExitRefused);
  EXPECT_EQ(h.host.boxes, (std::vector<Box>{{"Unable to open package: /pkgs/My Setup.msi\r\n\r\nThis installation "
                                             "package could not be opened.",
                                             ui::BoxStyle::Plain, "Fennick"}}));
  // The path reaches the service without quotes and untrimmed.
  EXPECT_GE(h.Position("OpenPackage [/pkgs/My Setup.msi] 0"), 0);
  EXPECT_EQ(h.Position("OpenDatabase [/pkgs/My Setup.msi] 0"), -1);  // nothing after the refusal
}

TEST(SessionDriver, UILevelIsWrittenThreeTimesEachFollowedByAPump) {
  const ToolRun h(PackageWithUI());
  std::vector<std::string> head(h.log->begin(), h.log->begin() + 7);
  EXPECT_EQ(head, (std::vector<std::string>{"UILevel 5", "pump", "OpenPackage [p.msi] 0", "UILevel 5",
                                            "pump", "UILevel 5", "pump"}));
}

TEST(SessionDriver, PackageWithoutUISequenceIsRefusedAfterTheCatalogue) {
  FakePackage p = PackageWithUI();
  p.catalogue = {"Control", "installuisequence", "InstallUISequenceX", "Property"};
  const ToolRun h(p);
  EXPECT_EQ(h.status, kExitRefused);
  EXPECT_EQ(h.host.boxes,
            (std::vector<Box>{{"There is no user interface in this package.", ui::BoxStyle::Critical, "Exiting"}}));
  EXPECT_EQ(h.dump,
            "# lvTable\nControl\nInstallUISequenceX\nProperty\ninstalluisequence\n# lvUI\n# lvProperty\n"
            "# lvFeature\n# lvPropertyChanged\n# lvFeatureChanged\n");
}

TEST(SessionDriver, WindDownReleasesSessionThenInstallerThenTablesWindow) {
  const ToolRun h(PackageWithUI());
  EXPECT_EQ(h.status, kExitSaveCancelled);  // the host cancels the save prompt
  const auto session = h.Position("release Session");
  const auto installer = h.Position("release Installer");
  const auto window = h.Position("unload tables window");
  ASSERT_GE(session, 0);
  EXPECT_LT(session, installer);
  EXPECT_LT(installer, window);
  EXPECT_LT(h.Position("load tables window"), h.Position("OpenDatabase [p.msi] 0"));
  EXPECT_EQ(window, static_cast<std::ptrdiff_t>(h.log->size()) - 1);
}

TEST(SessionDriver, UnhandledFailureIsReportedWithItsDescription) {
  FakePackage p = PackageWithUI();
  p.tables["Feature"].rows = {{"F"}};  // a feature the session does not know: its state fails
  const ToolRun h(p);
  EXPECT_EQ(h.status, kExitFailure);
  EXPECT_NE(h.err.str().find("fennick: unknown feature"), std::string::npos) << h.err.str();
  EXPECT_TRUE(h.host.boxes.empty());  // headless: no box for the failure
}

}  // namespace
}  // namespace fennick::driver
