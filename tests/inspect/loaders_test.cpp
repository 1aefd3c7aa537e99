#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

#include "src/driver/run_state.h"
#include "src/driver/session_driver.h"
#include "src/transform/transform.h"
#include "tests/support/fake_installer.h"

namespace fennick::inspect {
namespace {

using test::FakePackage;
using test::FakeTable;

// Runs the tool on one fake package and returns the dump of its working tables.
std::string RunAndDump(const FakePackage& package, int* status = nullptr) {
  auto log = std::make_shared<std::vector<std::string>>();
  test::RecordingHost host(log);
  std::ostringstream err;
  std::map<std::string, FakePackage> packages{{"p.msi", package},
                                              {transform::GetTempFolder() + "temp.msi", package}};
  const auto dump = std::filesystem::temp_directory_path() / ("fennick-loaders-" + std::to_string(::getpid()) + ".txt");
  auto options = driver::ParseCommandLine(std::vector<std::string>{"--dump-tables", dump.string(), "p.msi"});
  int s = driver::Main(options, {host, [&] { return std::make_shared<test::FakeInstaller>(log, packages); }, err, false});
  if (status) *status = s;
  std::ifstream in(dump);
  std::stringstream text;
  text << in.rdbuf();
  std::filesystem::remove(dump);
  return text.str();
}

std::string Section(const std::string& dump, const std::string& name) {
  auto start = dump.find("# " + name + "\n");
  if (start == std::string::npos) return "<missing>";
  start += name.size() + 3;
  auto end = dump.find("# ", start);
  return dump.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

FakePackage Base() {
  FakePackage p;
  p.catalogue = {"Control", "InstallUISequence", "Property"};
  p.tables["InstallUISequence"] = FakeTable{{"Action", "Condition", "Sequence"},
                                            {{"WelcomeDlg", "NOT Installed", "1297"},
                                             {"CostFinalize", "", "1000"},
                                             {"Odd", "", "-5"},
                                             {"Never", "", ""}}};
  p.tables["Property"] = FakeTable{{"Property", "Value"}, {}};
  p.tables["Control"] = FakeTable{{"Dialog_", "Control", "Property"}, {}};
  return p;
}

TEST(Loaders, UISequenceRowsCarryConditionAndSequenceText) {
  EXPECT_EQ(Section(RunAndDump(Base()), "lvUI"),
            "Never\t\t\nOdd\t\t-5\nCostFinalize\t\t1000\nWelcomeDlg\tNOT Installed\t1297\n");
}

// Beside the Property table and the controls, the run always watches the two directory
// properties, the install level and the installation context.
constexpr const char* kAlwaysWatched = "ALLUSERS\t\nINSTALLDIR\t\nINSTALLLEVEL\t1\nMSIINSTALLPERUSER\t\nTARGETDIR\t\n";

TEST(Loaders, EmptyPropertyTableAndNoBoundControlsGiveTheAlwaysWatchedProperties) {
  FakePackage p = Base();
  p.tables["Control"].rows = {{"D", "Text", ""}};
  p.properties = {{"INSTALLDIR", "C:\\X\\"}, {"INSTALLLEVEL", "1"}};
  EXPECT_EQ(Section(RunAndDump(p), "lvProperty"),
            "ALLUSERS\t\nINSTALLDIR\tC:\\\\X\\\\\nINSTALLLEVEL\t1\nMSIINSTALLPERUSER\t\nTARGETDIR\t\n");
}

TEST(Loaders, PropertiesThatControlEventsSetAreWatched) {
  FakePackage p = Base();
  p.catalogue.push_back("ControlEvent");
  p.tables["ControlEvent"] = FakeTable{{"Dialog_", "Control_", "Event", "Argument"},
                                       {{"D", "Next", "[ALLUSERS]", "2"}, {"D", "Next", "[Mode]", "x"},
                                        {"D", "Next", "NewDialog", "E"}, {"D", "Next", "[]", "1"}}};
  p.properties = {{"Mode", "typical"}, {"INSTALLLEVEL", "1"}};
  EXPECT_EQ(Section(RunAndDump(p), "lvProperty"),
            "ALLUSERS\t\nINSTALLDIR\t\nINSTALLLEVEL\t1\nMSIINSTALLPERUSER\t\nMode\ttypical\nTARGETDIR\t\n");
}

TEST(Loaders, FirstSourceWinsAndRowsEndSortedByName) {
  FakePackage p = Base();
  p.tables["Property"].rows = {{"INSTALLDIR", "FromTable"}, {"ProductName", "Demo"}, {"ALLUSERS", "1"}};
  p.tables["Control"].rows = {{"D", "Edit", "INSTALLDIR"}, {"D", "Box", "ProductName"},
                              {"D", "Check", "LICENSE_OK"}, {"D", "Blank", " "}, {"D", "Text", ""}};
  p.properties = {{"INSTALLDIR", "FromSession"}, {"ProductName", "Session"}, {"LICENSE_OK", "0"},
                  {"TARGETDIR", "C:\\"}};
  EXPECT_EQ(Section(RunAndDump(p), "lvProperty"),
            "ALLUSERS\t1\nINSTALLDIR\tFromTable\nINSTALLLEVEL\t\nLICENSE_OK\t0\nMSIINSTALLPERUSER\t\n"
            "ProductName\tDemo\nTARGETDIR\tC:\\\\\n");
}

TEST(Loaders, InstallDirBoundToAControlIsAddedOnceWithTheSessionValue) {
  FakePackage p = Base();
  p.tables["Control"].rows = {{"D", "Edit", "INSTALLDIR"}};
  p.properties = {{"INSTALLDIR", "C:\\Prog\\"}, {"INSTALLLEVEL", "1"}};
  EXPECT_EQ(Section(RunAndDump(p), "lvProperty"),
            "ALLUSERS\t\nINSTALLDIR\tC:\\\\Prog\\\\\nINSTALLLEVEL\t1\nMSIINSTALLPERUSER\t\nTARGETDIR\t\n");
}

TEST(Loaders, MissingTablesAddNothingAndTheRunGoesOn) {
  FakePackage p = Base();
  p.tables.erase("Control");
  p.tables.erase("Property");
  p.properties = {{"INSTALLLEVEL", "1"}};
  int status = -1;
  const std::string dump = RunAndDump(p, &status);
  EXPECT_EQ(status, driver::kExitUnchanged);
  EXPECT_EQ(Section(dump, "lvProperty"), kAlwaysWatched);
}

}  // namespace
}  // namespace fennick::inspect
