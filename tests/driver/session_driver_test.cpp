#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include "src/driver/run_state.h"
#include "src/driver/session_driver.h"
#include "src/transform/transform.h"
#include "tests/support/fake_installer.h"
#include "tests/support/fixtures.h"

namespace fennick::driver {
namespace {

using test::FakeInstaller;
using test::FakePackage;
using test::FakeTable;

FakePackage PackageWithUI() {
  FakePackage p;
  p.catalogue = {"Control", "InstallUISequence", "Property"};
  p.tables["InstallUISequence"] = FakeTable{{"Action", "Condition", "Sequence"}, {{"CostFinalize", "", "1000"}}};
  p.tables["Property"] = FakeTable{{"Property", "Value"}, {{"ProductName", "Demo"}}};
  p.tables["Control"] = FakeTable{{"Dialog_", "Control", "Property"}, {{"D", "C", ""}}};
  p.tables["Feature"] = FakeTable{{"Feature"}, {}};
  return p;
}

struct Harness {
  test::Log log = std::make_shared<std::vector<std::string>>();
  test::RecordingHost host{log};
  std::ostringstream err;
  std::map<std::string, FakePackage> packages;

  int Run(const std::vector<std::string>& args) {
    auto options = ParseCommandLine(args);
    const auto scratch = test::scratchDir();
    setenv("TMPDIR", scratch.c_str(), 1);
    if (packages.count("a.msi")) packages[transform::GetTempFolder() + "temp.msi"] = packages["a.msi"];
    auto factory = [this] { return std::make_shared<FakeInstaller>(log, packages); };
    const int status = Main(options, {host, factory, err, false});
    unsetenv("TMPDIR");
    return status;
  }
  std::ptrdiff_t Position(const std::string& entry) const {
    auto it = std::find(log->begin(), log->end(), entry);
    return it == log->end() ? -1 : it - log->begin();
  }
};

TEST(SessionDriver, OpenFailureShowsTheExactMessageAndRefuses) {
  Harness h;
  EXPECT_EQ(h.Run({"\"/pkgs/My", "Setup.msi\""}), kExitRefused);
  ASSERT_EQ(h.host.boxes.size(), 1u);
  EXPECT_EQ(h.host.boxes[0].text,
            "Unable to open package: /pkgs/My Setup.msi\r\n\r\nThis installation package could not be opened.");
  EXPECT_EQ(h.host.boxes[0].title, "Fennick");
  EXPECT_EQ(h.host.boxes[0].style, ui::BoxStyle::Plain);
  // The path reaches the service without quotes and untrimmed.
  EXPECT_GE(h.Position("OpenPackage [/pkgs/My Setup.msi] 0"), 0);
  EXPECT_EQ(h.Position("OpenDatabase [/pkgs/My Setup.msi] 0"), -1);  // nothing after the refusal
}

TEST(SessionDriver, UILevelIsWrittenThreeTimesEachFollowedByAPump) {
  Harness h;
  h.packages["a.msi"] = PackageWithUI();
  h.Run({"a.msi"});
  std::vector<std::string> head(h.log->begin(), h.log->begin() + 7);
  EXPECT_EQ(head, (std::vector<std::string>{"UILevel 5", "pump", "OpenPackage [a.msi] 0", "UILevel 5",
                                            "pump", "UILevel 5", "pump"}));
}

TEST(SessionDriver, PackageWithoutUISequenceIsRefusedAfterTheCatalogue) {
  Harness h;
  FakePackage p = PackageWithUI();
  p.catalogue = {"Control", "installuisequence", "InstallUISequenceX", "Property"};
  h.packages["a.msi"] = p;
  const auto dump = test::scratchDir() / "dump.txt";
  EXPECT_EQ(h.Run({"--dump-tables", dump.string(), "a.msi"}), kExitRefused);
  ASSERT_EQ(h.host.boxes.size(), 1u);
  EXPECT_EQ(h.host.boxes[0].text, "There is no user interface in this package.");
  EXPECT_EQ(h.host.boxes[0].title, "Exiting");
  EXPECT_EQ(h.host.boxes[0].style, ui::BoxStyle::Critical);
  std::ifstream in(dump);
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_EQ(text.str(),
            "# lvTable\nControl\nInstallUISequenceX\nProperty\ninstalluisequence\n# lvUI\n# lvProperty\n"
            "# lvFeature\n# lvPropertyChanged\n# lvFeatureChanged\n");
}

TEST(SessionDriver, WindDownReleasesSessionThenInstallerThenTablesWindow) {
  Harness h;
  h.packages["a.msi"] = PackageWithUI();
  EXPECT_EQ(h.Run({"a.msi"}), kExitSaveCancelled);  // the host cancels the save prompt
  const auto session = h.Position("release Session");
  const auto installer = h.Position("release Installer");
  const auto window = h.Position("unload tables window");
  ASSERT_GE(session, 0);
  EXPECT_LT(session, installer);
  EXPECT_LT(installer, window);
  EXPECT_LT(h.Position("load tables window"), h.Position("OpenDatabase [a.msi] 0"));
  EXPECT_EQ(window, static_cast<std::ptrdiff_t>(h.log->size()) - 1);
}

TEST(SessionDriver, UnhandledFailureIsReportedWithItsDescription) {
  Harness h;
  FakePackage p = PackageWithUI();
  p.tables["Feature"].rows = {{"F"}};  // a feature the session does not know: its state fails
  h.packages["a.msi"] = p;
  EXPECT_EQ(h.Run({"a.msi"}), kExitFailure);
  EXPECT_NE(h.err.str().find("fennick: unknown feature"), std::string::npos) << h.err.str();
  EXPECT_TRUE(h.host.boxes.empty());  // headless: no box for the failure
}

}  // namespace
}  // namespace fennick::driver
