// Directory resolution by CostFinalize and moves by MsiSetTargetPath, on small packages.
#include <gtest/gtest.h>

#include "engine/session/directory_tree.h"
#include "engine/session/session.h"
#include "tests/session/test_package.h"
#include "tests/support/error_text.h"

namespace {

using namespace fennick::test;
using msi::Value;

TestPackage typicalTree() {
  TestPackage pkg;
  pkg.addText("packages/directories.txt", "typical");
  return pkg;
}

// (Separators collapsed and blanks trimmed: the directory tests below.)
TEST(NormalizeDirectoryPath, KeepsANetworkShareAndEndsWithOneBackslash) {
  EXPECT_EQ(msi::normalizeDirectoryPath("\\\\server\\share"), "\\\\server\\share\\");
  EXPECT_EQ(msi::normalizeDirectoryPath("   "), "");
}

// Every directory is a property holding its path afterwards; ProgramFilesFolder is a property
// of the machine, whose value wins over the tree.
TEST(Directories, ResolveFromRootDriveWithLongNamesDotsAndPropertyOverrides) {
  auto session = costed(typicalTree());
  EXPECT_TRUE(answers(*session));
  // Source paths follow the source names below SourceDir.
  const std::string source = session->property("SourceDir");
  ASSERT_FALSE(source.empty());
  EXPECT_EQ(session->sourcePath("INSTALLDIR"), source + "src\\My App\\");
}

TEST(Directories, PublicPropertiesSetBeforehandMoveDirectoriesAndShortNamesOnRequest) {
  EXPECT_TRUE(answers(*costed(typicalTree(), {{"INSTALLDIR", "C:\\Apps\\\\Mine "}, {"TARGETDIR", "C:\\Target"}})));
  EXPECT_TRUE(answers(*costed(typicalTree(), {{"SHORTFILENAMES", "1"}}), "SHORTFILENAMES"));
}

TEST(Directories, SetTargetPathMovesTheDirectoriesBelowWithoutRereadingTheirProperties) {
  auto session = costed(typicalTree());
  session->setProperty("Bin", "D:\\ignored\\");
  session->setTargetPath("INSTALLDIR", "C:\\Elsewhere");
  EXPECT_TRUE(answers(*session));
}

TEST(Directories, SetTargetPathRefusesWhatTheMachineCannotHold) {
  TestPackage pkg = typicalTree();
  auto before = pkg.open();
  EXPECT_THROW(before->setTargetPath("INSTALLDIR", "C:\\x"), msi::Error);  // no costing yet

  auto session = costed(pkg);
  EXPECT_TRUE(holds(errorOf([&] { session->setTargetPath("INSTALLDIR", "D:\\Apps"); }), {"drive D:"}));
  EXPECT_THROW(session->setTargetPath("INSTALLDIR", "Apps\\Mine"), msi::Error);
  EXPECT_THROW(session->setTargetPath("INSTALLDIR", "C:\\a|b"), msi::Error);
  EXPECT_THROW(session->setTargetPath("Unknown", "C:\\a"), msi::Error);
  EXPECT_THROW(session->setTargetPath("INSTALLDIR", "C:\\" + std::string(2000, 'a')), msi::Error);
  EXPECT_EQ(session->targetPath("INSTALLDIR"), "C:\\Program Files (x86)\\Vendor Name\\My App\\");
}

TEST(Directories, BrokenTreesFailCostInitializeWithTheDirectoryNamed) {
  for (const auto& [name, says] : {std::pair{"cycle", "form a cycle"}, std::pair{"orphan", "`Missing`"}}) {
    RecordingHost host;
    TestPackage pkg;
    pkg.addText("packages/directories.txt", name);
    EXPECT_EQ(pkg.open(testOptions(&host))->doAction("CostInitialize"), msi::ActionStatus::Failure) << name;
    EXPECT_NE(host.all(msi::MessageKind::Error).find(says), std::string::npos) << host.all(msi::MessageKind::Error);
  }
}

TEST(Directories, AVeryDeepChainIsReportedNotRecursedInto) {
  TestPackage pkg;
  std::vector<msi::Row> rows{{"TARGETDIR", {}, "SourceDir"}};
  std::string parent = "TARGETDIR";
  for (int i = 0; i < 20000; ++i) {
    const std::string key = "D" + std::to_string(i);
    rows.push_back({Value(key), Value(parent), Value("d")});
    parent = key;
  }
  pkg.add("Directory", rows);
  RecordingHost host;
  auto session = pkg.open(testOptions(&host));
  ASSERT_EQ(session->doAction("CostInitialize"), msi::ActionStatus::Success);
  EXPECT_EQ(session->doAction("CostFinalize"), msi::ActionStatus::Failure);
  EXPECT_NE(host.all(msi::MessageKind::Error).find("longer than"), std::string::npos);
}

}  // namespace
