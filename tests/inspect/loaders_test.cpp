// The watched properties a run's working tables hold, with their values, from the Property
// table, bound controls, ControlEvents and the session. (The UI sequence rows: ToolDump, on
// every fixture.)
#include <gtest/gtest.h>

#include "tests/support/fake_installer.h"

namespace fennick::inspect {
namespace {

// Beside the Property table and the controls, the run always watches the two directory
// properties, the install level and the installation context. The packages: packages.txt.
TEST(Loaders, WatchedPropertiesComeFromTheTablesAndTheSession) {
  const std::pair<const char*, const char*> cases[] = {
      {"empty Property table, no bound controls",
       "ALLUSERS\t\nINSTALLDIR\tC:\\\\X\\\\\nINSTALLLEVEL\t1\nMSIINSTALLPERUSER\t\nTARGETDIR\t\n"},
      {"properties that ControlEvents set",
       "ALLUSERS\t\nINSTALLDIR\t\nINSTALLLEVEL\t1\nMSIINSTALLPERUSER\t\nMode\ttypical\nTARGETDIR\t\n"},
      {"the first source wins, rows sorted by name",
       "ALLUSERS\t1\nINSTALLDIR\tFromTable\nINSTALLLEVEL\t\nLICENSE_OK\t0\nMSIINSTALLPERUSER\t\n"
       "ProductName\tDemo\nTARGETDIR\tC:\\\\\n"},
  };
  for (const auto& [name, lvProperty] : cases) {
    SCOPED_TRACE(name);
    const auto file = std::filesystem::path(__FILE__).parent_path() / "packages.txt";
    EXPECT_EQ(test::ToolRun(test::ReadFakePackage(file, {"base", name})).Section("lvProperty"), lvProperty);
  }
}

}  // namespace
}  // namespace fennick::inspect
