// Feature requests and component actions computed by CostFinalize on a fresh installation,
// and the changes a user interface makes afterwards.
#include <map>

#include <gtest/gtest.h>

#include "engine/session/session.h"
#include "tests/session/test_package.h"
#include "tests/support/session_checks.h"

namespace {

using fennick::test::hasProperties;
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

std::unique_ptr<msi::Session> costed(const TestPackage& pkg,
                                     std::vector<std::pair<std::string, std::string>> props = {}) {
  auto options = testOptions();
  options.properties = std::move(props);
  auto session = pkg.open(options);
  EXPECT_EQ(session->doAction("CostInitialize"), msi::ActionStatus::Success);
  EXPECT_EQ(session->doAction("CostFinalize"), msi::ActionStatus::Success);
  return session;
}

std::map<std::string, InstallState> requests(const msi::Session& session) {
  std::map<std::string, InstallState> out;
  for (const auto& f : session.featureTree()->entries())
    out[f.name] = session.featureRequestState(f.name);
  return out;
}

TEST(FeatureRequests, FreshInstallFollowsLevelsAttributesParentsAndTheConditionTable) {
  auto session = costed(featurePackage());
  const std::map<std::string, InstallState> expected = {
      {"Main", kLocal},      {"Docs", kNone},  {"DocsChild", kNone}, {"Src", kSource},
      {"Follow", kSource},   {"Adv", kAdvertised}, {"NoAdv", kLocal}, {"Off", kNone},
      {"OffChild", kNone},   {"Cond", kLocal}};
  EXPECT_EQ(requests(*session), expected);
  EXPECT_TRUE(hasProperties(*session, {{"INSTALLLEVEL", "1"}, {"Preselected", ""}, {"CostingComplete", "1"}}));
  // Conditions see the states: action and installed state numbers.
  EXPECT_EQ(session->evaluateCondition("&Main = 3 AND !Main = 2 AND &Docs = -1"),
            msi::ConditionResult::True);

  auto level3 = costed(featurePackage(), {{"INSTALLLEVEL", "3"}});
  EXPECT_EQ(level3->featureRequestState("Docs"), kLocal);
  EXPECT_EQ(level3->featureRequestState("DocsChild"), kLocal);
  EXPECT_EQ(level3->featureRequestState("OffChild"), kNone);
}

TEST(FeatureRequests, OverridePropertiesApplyInOrderAndInstallParents) {
  auto child = costed(featurePackage(), {{"ADDLOCAL", "DocsChild"}});
  EXPECT_EQ(child->featureRequestState("DocsChild"), kLocal);
  EXPECT_EQ(child->featureRequestState("Docs"), kLocal);  // a child needs its parent
  EXPECT_EQ(child->featureRequestState("Main"), kNone);   // not listed
  EXPECT_EQ(child->property("Preselected"), "1");

  auto all = costed(featurePackage(), {{"ADDLOCAL", "ALL"}, {"ADDSOURCE", "Main"}, {"REMOVE", "Adv"}});
  EXPECT_EQ(all->featureRequestState("Main"), kSource);  // ADDSOURCE comes after ADDLOCAL
  EXPECT_EQ(all->featureRequestState("Docs"), kLocal);   // whatever INSTALLLEVEL says
  EXPECT_EQ(all->featureRequestState("Adv"), kNone);     // removed: nothing to do on a fresh install
  EXPECT_EQ(all->featureRequestState("Off"), kNone);     // Level 0 stays off
  EXPECT_EQ(all->featureRequestState("OffChild"), kNone);

  auto advertise = costed(featurePackage(), {{"ADVERTISE", "NoAdv,Main"}, {"ADDDEFAULT", "Adv"}});
  EXPECT_EQ(advertise->featureRequestState("NoAdv"), kLocal);  // advertising is disallowed
  EXPECT_EQ(advertise->featureRequestState("Main"), kAdvertised);
  EXPECT_EQ(advertise->featureRequestState("Adv"), kLocal);  // ADDDEFAULT ignores FavorAdvertise
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
  const auto action = [&](const char* c) { return session->componentState(c).action; };
  EXPECT_EQ(action("CMain"), kLocal);
  EXPECT_EQ(action("CSourceOnly"), kSource);
  EXPECT_EQ(session->componentState("CNever"), (msi::InstallStates{}));  // condition false
  EXPECT_EQ(action("COptional"), kSource);
  EXPECT_EQ(action("CLocalOnly"), kLocal);  // cannot run from source
  EXPECT_EQ(action("CShared"), kLocal);     // one feature wants it local
  EXPECT_EQ(session->componentState("CMain").installed, InstallState::Absent);
  EXPECT_EQ(session->evaluateCondition("$CMain = 3 AND ?CMain = 2"), msi::ConditionResult::True);

  session->setFeatureRequestState("Main", InstallState::Absent);
  EXPECT_EQ(action("CMain"), kNone);
  EXPECT_EQ(action("CShared"), kSource);  // now only Src wants it
  EXPECT_THROW(session->componentState("Nope"), msi::Error);
}

TEST(ComponentStates, FilesAndComponentsFormatToTheirPathsAndCostWholeClusters) {
  auto session = costed(featurePackage());
  EXPECT_EQ(session->formatText("[#main.exe]"), "C:\\App\\main program.exe");
  EXPECT_EQ(session->formatText("[$CMain]"), "C:\\App\\");
  EXPECT_EQ(session->fileShortPath("main.exe"), "C:\\App\\MAIN~1.EXE");
  EXPECT_EQ(session->formatText("[#nope]x"), "x");
  // CMain: 5000 -> 8192, 4096 -> 4096; opt.dll runs from source.
  EXPECT_EQ(session->featureCost("Main"), 8192u + 4096u);
  const auto volumes = session->volumeCosts();
  ASSERT_EQ(volumes.size(), 1u);
  EXPECT_EQ(volumes[0].volume, "C:\\");
  EXPECT_EQ(volumes[0].required, 8192u + 4096u);
  EXPECT_GT(volumes[0].available, volumes[0].required);
  EXPECT_EQ(session->property("OutOfDiskSpace"), "0");

  // Before costing nothing is known yet.
  auto fresh = featurePackage().open();
  EXPECT_EQ(fresh->formatText("[#main.exe]"), "");
  EXPECT_EQ(fresh->evaluateCondition("&Main = 3"), msi::ConditionResult::False);
  EXPECT_THROW(fresh->featureRequestState("Main"), msi::Error);
}

TEST(ComponentStates, PackedFilesCannotRunFromTheSource) {
  TestPackage pkg = featurePackage();
  pkg.add("File", {{"packed", "CLocalOnly", "packed.bin", 1, {}, {}, 0x4000, 4}});
  auto session = costed(pkg);
  EXPECT_EQ(session->featureRequestState("Src"), kLocal);
  EXPECT_EQ(session->componentState("COptional").action, kLocal);
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
  auto session = ok.open();
  EXPECT_EQ(session->doAction("CostInitialize"), msi::ActionStatus::Success);
  EXPECT_EQ(session->doAction("CostFinalize"), msi::ActionStatus::Success);
  EXPECT_EQ(session->featureRequestState("F15"), kLocal);
}

}  // namespace
