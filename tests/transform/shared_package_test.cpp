// The engine backend reads the package a session holds once: a read-only open of the same file
// shares the session's database. What is done through that handle must not reach the session.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "engine/db/database.h"
#include "engine/mst/transform.h"
#include "src/installer/engine_installer.h"
#include "tests/support/db_builders.h"
#include "tests/support/fixtures.h"

namespace {

using namespace fennick;

std::string PropertyValue(installer::Database& db, const std::string& name) {
  auto view = db.OpenView("SELECT `Value` FROM `Property` WHERE `Property` = '" + name + "'");
  view->Execute();
  auto row = view->Fetch();
  return row ? row->StringData(1) : "<no row>";
}

TEST(EngineBackend, ATransformAppliedToAReadOnlyOpenLeavesTheSessionsPackageAlone) {
  const std::filesystem::path dir = test::scratchDir();
  const auto package = dir / "shared.msi", changed = dir / "changed.msi", mst = dir / "change.mst";
  {
    auto db = msi::Database::open(package, msi::OpenMode::Create);
    db->createTable({"Property", {test::col("Property", "s72", true), test::col("Value", "l0")}});
    test::setProperty(*db, "ProductCode", "{6A4B1E55-2C3D-4E8F-9A10-7B2C3D4E5F60}");
    test::setProperty(*db, "COLOR", "red");
    db->commit();
  }
  {
    auto db = test::openCopy(package, changed);
    test::setProperty(*db, "COLOR", "blue");
    db->commit();
    auto base = msi::Database::open(package, msi::OpenMode::ReadOnly);
    ASSERT_TRUE(msi::mst::generateTransform(*db, *base, mst));
  }

  auto engine = installer::CreateEngineInstaller({});
  auto session = engine->OpenPackage(package.string(), 0);
  auto handle = engine->OpenDatabase(package.string(), installer::kOpenReadOnly);
  handle->ApplyTransform(mst.string(), 0);
  EXPECT_EQ(PropertyValue(*handle, "COLOR"), "blue");
  EXPECT_EQ(PropertyValue(*session->Database(), "COLOR"), "red");
  // A second session over the package after the change reads the file, not the handle.
  auto again = engine->OpenPackage(package.string(), 0);
  EXPECT_EQ(again->Property("COLOR"), "red");
}

}  // namespace
