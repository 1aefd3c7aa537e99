// Feature requests and component actions computed by CostFinalize on a fresh installation,
// and the changes a user interface makes afterwards.
#include <gtest/gtest.h>

#include "engine/session/session.h"
#include "tests/session/test_package.h"
#include "tests/support/session_checks.h"

namespace {

using namespace fennick::test;
using msi::InstallState;

TestPackage featurePackage() {
  TestPackage pkg;
  pkg.addText("packages/features.txt", "features");
  return pkg;
}

// Every feature's request, with the properties and conditions that follow from them; the
// override properties apply in order and install parents.
TEST(FeatureRequests, FreshInstallFollowsLevelsAttributesParentsConditionsAndOverrides) {
  EXPECT_TRUE(answers(*costed(featurePackage())));
  EXPECT_TRUE(answers(*costed(featurePackage(), {{"INSTALLLEVEL", "3"}}), "INSTALLLEVEL=3"));
  EXPECT_TRUE(answers(*costed(featurePackage(), {{"ADDLOCAL", "DocsChild"}}), "ADDLOCAL=DocsChild"));
  EXPECT_TRUE(answers(*costed(featurePackage(), {{"ADDLOCAL", "ALL"}, {"ADDSOURCE", "Main"}, {"REMOVE", "Adv"}}),
                      "ADDLOCAL=ALL ADDSOURCE=Main REMOVE=Adv"));
  EXPECT_TRUE(answers(*costed(featurePackage(), {{"ADVERTISE", "NoAdv,Main"}, {"ADDDEFAULT", "Adv"}}),
                      "ADVERTISE=NoAdv,Main ADDDEFAULT=Adv"));
}

TEST(FeatureRequests, UserChoicesPropagateThroughTheTree) {
  auto session = costed(featurePackage());
  session->setFeatureRequestState("DocsChild", InstallState::Local);
  EXPECT_EQ(session->featureRequestState("Docs"), InstallState::Local);
  session->setFeatureRequestState("Docs", InstallState::Absent);
  EXPECT_EQ(session->featureRequestState("DocsChild"), InstallState::Unknown);
  session->setFeatureRequestState("Src", InstallState::Absent);
  EXPECT_EQ(session->featureRequestState("Follow"), InstallState::Unknown);
  session->setFeatureRequestState("Src", InstallState::Local);
  EXPECT_EQ(session->featureRequestState("Follow"), InstallState::Unknown);  // absent children stay absent
  session->setFeatureRequestState("Docs", InstallState::Source, /*wholeSubtree=*/true);
  EXPECT_EQ(session->featureRequestState("DocsChild"), InstallState::Source);

  EXPECT_THROW(session->setFeatureRequestState("NoAdv", InstallState::Advertised), msi::Error);
  EXPECT_THROW(session->setFeatureRequestState("OffChild", InstallState::Local), msi::Error);
  EXPECT_THROW(session->setFeatureRequestState("Nope", InstallState::Local), msi::Error);
  EXPECT_THROW(session->setFeatureRequestState("Main", InstallState::Broken), msi::Error);

  session->setInstallLevel(3);
  EXPECT_EQ(session->property("INSTALLLEVEL"), "3");
  EXPECT_EQ(session->featureRequestState("DocsChild"), InstallState::Local);
  EXPECT_EQ(session->featureRequestState("Src"), InstallState::Source);  // recomputed from the levels
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
  EXPECT_EQ(costed(ok)->featureRequestState("F15"), InstallState::Local);
}

}  // namespace
