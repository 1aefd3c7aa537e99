// The watched properties a run's working tables hold, with their values, from the Property
// table, bound controls, ControlEvents and the session. (The UI sequence rows: ToolDump, on
// every fixture.)
#include <gtest/gtest.h>

#include <functional>

#include "tests/support/fake_installer.h"

namespace fennick::inspect {
namespace {

using test::FakePackage;
using test::FakeTable;

FakePackage Base() {
  FakePackage p;
  p.catalogue = {"Control", "InstallUISequence", "Property"};
  p.tables["InstallUISequence"] = FakeTable{{"Action", "Condition", "Sequence"}, {{"CostFinalize", "", "1000"}}};
  p.tables["Property"] = FakeTable{{"Property", "Value"}, {}};
  p.tables["Control"] = FakeTable{{"Dialog_", "Control", "Property"}, {}};
  return p;
}

// Beside the Property table and the controls, the run always watches the two directory
// properties, the install level and the installation context.
TEST(Loaders, WatchedPropertiesComeFromTheTablesAndTheSession) {
  struct Case {
    const char* name;
    std::function<void(FakePackage&)> edit;
    const char* lvProperty;
  };
  const Case cases[] = {
      {"empty Property table, no bound controls",
       [](FakePackage& p) {
         p.tables["Control"].rows = {{"D", "Text", ""}};
         p.properties = {{"INSTALLDIR", "C:\\X\\"}, {"INSTALLLEVEL", "1"}};
       },
       "ALLUSERS\t\nINSTALLDIR\tC:\\\\X\\\\\nINSTALLLEVEL\t1\nMSIINSTALLPERUSER\t\nTARGETDIR\t\n"},
      {"properties that ControlEvents set",
       [](FakePackage& p) {
         p.catalogue.push_back("ControlEvent");
         p.tables["ControlEvent"] = FakeTable{{"Dialog_", "Control_", "Event", "Argument"},
                                              {{"D", "Next", "[ALLUSERS]", "2"}, {"D", "Next", "[Mode]", "x"},
                                               {"D", "Next", "NewDialog", "E"}, {"D", "Next", "[]", "1"}}};
         p.properties = {{"Mode", "typical"}, {"INSTALLLEVEL", "1"}};
       },
       "ALLUSERS\t\nINSTALLDIR\t\nINSTALLLEVEL\t1\nMSIINSTALLPERUSER\t\nMode\ttypical\nTARGETDIR\t\n"},
      {"the first source wins, rows sorted by name",
       [](FakePackage& p) {
         p.tables["Property"].rows = {{"INSTALLDIR", "FromTable"}, {"ProductName", "Demo"}, {"ALLUSERS", "1"}};
         p.tables["Control"].rows = {{"D", "Edit", "INSTALLDIR"}, {"D", "Box", "ProductName"},
                                     {"D", "Check", "LICENSE_OK"}, {"D", "Blank", " "}, {"D", "Text", ""}};
         p.properties = {{"INSTALLDIR", "FromSession"}, {"ProductName", "Session"}, {"LICENSE_OK", "0"},
                         {"TARGETDIR", "C:\\"}};
       },
       "ALLUSERS\t1\nINSTALLDIR\tFromTable\nINSTALLLEVEL\t\nLICENSE_OK\t0\nMSIINSTALLPERUSER\t\n"
       "ProductName\tDemo\nTARGETDIR\tC:\\\\\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakePackage p = Base();
    c.edit(p);
    EXPECT_EQ(test::ToolRun(p).Section("lvProperty"), c.lvProperty);
  }
}

}  // namespace
}  // namespace fennick::inspect
