// Feature requests and component actions computed by CostFinalize on a fresh installation,
// and the changes a user interface makes afterwards.
#include <gtest/gtest.h>

#include "engine/session/session.h"
#include "tests/session/test_package.h"
#include "tests/support/session_checks.h"

namespace {

using fennick::test::answers;
using fennick::test::costed;
using fennick::test::RecordingHost;
using fennick::test::TestPackage;
using fennick::test::testOptions;
using msi::InstallState;

constexpr InstallState kNone = InstallState::Unknown;
constexpr InstallState kLocal = InstallState::Local;
constexpr InstallState kSource = InstallState::Source;
constexpr InstallState kAdvertised = InstallState::Advertised;

TestPackage featurePackage() {
  TestPackage pkg;
  pkg.addText("packages/features.txt", "features");
  return pkg;
}

// Every feature's request, with the properties and conditions that follow from them.
TEST(FeatureRequests, FreshInstallFollowsLevelsAttributesParentsAndTheConditionTable) {
  EXPECT_TRUE(answers(*costed(featurePackage())));
  EXPECT_TRUE(answers(*costed(featurePackage(), {{"INSTALLLEVEL", "3"}}), "INSTALLLEVEL=3"));
}

TEST(FeatureRequests, OverridePropertiesApplyInOrderAndInstallParents) {
  EXPECT_TRUE(answers(*costed(featurePackage(), {{"ADDLOCAL", "DocsChild"}}), "ADDLOCAL=DocsChild"));
  EXPECT_TRUE(answers(*costed(featurePackage(), {{"ADDLOCAL", "ALL"}, {"ADDSOURCE", "Main"}, {"REMOVE", "Adv"}}),
                      "ADDLOCAL=ALL ADDSOURCE=Main REMOVE=Adv"));
  EXPECT_TRUE(answers(*costed(featurePackage(), {{"ADVERTISE", "NoAdv,Main"}, {"ADDDEFAULT", "Adv"}}),
                      "ADVERTISE=NoAdv,Main ADDDEFAULT=Adv"));
}

TEST(FeatureRequests, UserChoicesPropagateThroughTheTree) {
  auto session = costed(featurePackage());
  session->setFeatureRequestState("DocsChild", kLocal);
  EXPECT_EQ(session->featureRequestState("Docs"), kLocal);
  session->setFeatureRequestState("Docs", InstallState::Absent);
  EXPECT_EQ(session->featureRequestState("DocsChild"), kNone);
  session->setFeatureRequestState("Src", InstallState::Absent);
  EXPECT_EQ(session->featureRequestState("Follow"), kNone);
  session->setFeatureRequestState("Src", kLocal);
  EXPECT_EQ(session->featureRequestState("Follow"), kNone);  // absent children stay absent
  session->setFeatureRequestState("Docs", kSource, /*wholeSubtree=*/true);
  EXPECT_EQ(session->featureRequestState("DocsChild"), kSource);

  EXPECT_THROW(session->setFeatureRequestState("NoAdv", kAdvertised), msi::Error);
  EXPECT_THROW(session->setFeatureRequestState("OffChild", kLocal), msi::Error);
  EXPECT_THROW(session->setFeatureRequestState("Nope", kLocal), msi::Error);
  EXPECT_THROW(session->setFeatureRequestState("Main", InstallState::Broken), msi::Error);

  session->setInstallLevel(3);
  EXPECT_EQ(session->property("INSTALLLEVEL"), "3");
  EXPECT_EQ(session->featureRequestState("DocsChild"), kLocal);
  EXPECT_EQ(session->featureRequestState("Src"), kSource);  // recomputed from the levels
  EXPECT_THROW(session->setInstallLevel(0), msi::Error);
}

TEST(ComponentStates, FollowTheirFeaturesAttributesAndConditions) {
  auto session = costed(featurePackage());
  EXPECT_TRUE(answers(*session));
  session->setFeatureRequestState("Main", InstallState::Absent);
  EXPECT_TRUE(answers(*session, "Main absent"));
}

TEST(ComponentStates, FilesAndComponentsFormatToTheirPathsAndCostWholeClusters) {
  auto session = costed(featurePackage());
  EXPECT_TRUE(answers(*session));
  const auto volumes = session->volumeCosts();
  ASSERT_EQ(volumes.size(), 1u);
  EXPECT_EQ(volumes[0].volume, "C:\\");
  EXPECT_EQ(volumes[0].required, 8192u + 4096u);
  EXPECT_GT(volumes[0].available, volumes[0].required);
  EXPECT_TRUE(answers(*featurePackage().open(), "before costing"));
}

TEST(ComponentStates, PackedFilesCannotRunFromTheSource) {
  TestPackage pkg = featurePackage();
  pkg.add("File", {{"packed", "CLocalOnly", "packed.bin", 1, {}, {}, 0x4000, 4}});
  EXPECT_TRUE(answers(*costed(pkg)));
}

TEST(FeatureTable, BrokenTreesFailCostInitializeWithTheFeatureNamed) {
  const auto failure = [](const std::vector<msi::Row>& rows) {
    TestPackage pkg;
    pkg.add("Feature", rows);
    RecordingHost host;
    EXPECT_EQ(pkg.open(testOptions(&host))->doAction("CostInitialize"), msi::ActionStatus::Failure);
    return host.all(msi::MessageKind::Error);
  };
  EXPECT_NE(failure({{"A", "B", {}, {}, 1, 1, {}, 0}, {"B", "A", {}, {}, 1, 1, {}, 0}}).find("cycle"),
            std::string::npos);
  EXPECT_NE(failure({{"A", "Ghost", {}, {}, 1, 1, {}, 0}}).find("`Ghost`"), std::string::npos);
  std::vector<msi::Row> deep;
  for (int i = 0; i < 17; ++i)
    deep.push_back({msi::Value("F" + std::to_string(i)),
                    i ? msi::Value("F" + std::to_string(i - 1)) : msi::Value(), {}, {}, 1, 1, {}, 0});
  EXPECT_NE(failure(deep).find("`F16` is nested 17 levels"), std::string::npos);
  deep.pop_back();
  TestPackage ok;
  ok.add("Feature", deep);
  EXPECT_EQ(costed(ok)->featureRequestState("F15"), kLocal);
}

}  // namespace
