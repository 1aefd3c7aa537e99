// Packages with missing tables, missing columns, nulls where values belong and pathological
// content: the session reports or tolerates them and never crashes.
#include <gtest/gtest.h>

#include "engine/session/sequence_runner.h"
#include "engine/session/session.h"
#include "tests/session/test_package.h"
#include "tests/support/db_builders.h"

namespace {

using namespace fennick::test;
using msi::ActionStatus;

TEST(HostileTables, ComponentsWithoutADirectoryTableCostNothingAndResolveToNothing) {
  auto session = costed(TestPackage("packages/hostile.txt"));
  EXPECT_TRUE(answers(*session));
  EXPECT_EQ(session->volumeCosts().at(0).required, 0u);
}

TEST(HostileTables, NullsWhereValuesBelongAreReadAsNothing) {
  TestPackage pkg("packages/hostile.txt");
  RecordingHost host;
  auto session = pkg.open(testOptions(&host));
  msi::SequenceOptions options;
  const auto run = msi::runSequence(*session, "InstallUISequence", options);
  EXPECT_EQ(run.status, ActionStatus::Success);
  EXPECT_EQ(run.steps.size(), 2u);  // a row without a sequence number is not part of it
  EXPECT_TRUE(answers(*session));
  EXPECT_EQ(session->doAction("NoType"), ActionStatus::Success);  // skipped with a warning
  EXPECT_EQ(session->doAction("NoSource"), ActionStatus::Success);
  EXPECT_FALSE(host.all(msi::MessageKind::Warning).empty());
}

TEST(HostileTables, TablesLackingColumnsAreReadWithWhatTheyHave) {
  TestPackage pkg;
  pkg.db->createTable({"Feature", {col("Feature", "s38", true), col("Level", "I2")}});
  pkg.db->table("Feature").insert({"OnlyLevel", 1});
  pkg.db->createTable({"InstallUISequence", {col("Action", "s72", true)}});
  pkg.db->table("InstallUISequence").insert({"CostInitialize"});
  EXPECT_TRUE(msi::runSequence(*pkg.open(), "InstallUISequence").steps.empty());
  auto session = costed(pkg);
  EXPECT_EQ(session->featureRequestState("OnlyLevel"), msi::InstallState::Local);
}

TEST(HostileTables, IntegersWrittenAsTextTakeNoPlusSign) {
  // The installer reads a text field as an integer only when it is digits after an optional
  // minus sign: a level of "+1" is no level at all.
  TestPackage pkg;
  pkg.db->createTable({"Feature", {col("Feature", "s38", true), col("Level", "S8")}});
  pkg.db->table("Feature").insert({"Digits", "1"});
  pkg.db->table("Feature").insert({"Signed", "+1"});
  EXPECT_TRUE(answers(*costed(pkg)));
}

TEST(HostileTables, PathologicalConditionsAndTextsEndInErrorsNotCrashes) {
  TestPackage pkg;
  const std::string deep = std::string(100000, '(') + "1" + std::string(100000, ')');
  pkg.add("LaunchCondition", {{msi::Value(deep), "too deep"}});
  pkg.add("CustomAction", {{"Nested", 51, "N", std::string(50000, '[') + "X" + std::string(50000, ']')}});
  RecordingHost host;
  auto session = pkg.open(testOptions(&host));
  EXPECT_EQ(session->evaluateCondition(deep), msi::ConditionResult::Error);
  EXPECT_EQ(session->doAction("LaunchConditions"), ActionStatus::Failure);
  EXPECT_EQ(host.all(msi::MessageKind::Error), "too deep");
  EXPECT_EQ(session->doAction("Nested"), ActionStatus::Success);
}

TEST(HostileTables, LocatorChainsThatFanOutAreSearchedOncePerSignature) {
  // Every signature has 30 rows naming the next one as parent: followed naively, 30^15 searches.
  TestPackage pkg;
  std::vector<msi::Row> rows;
  for (int level = 0; level < 15; ++level)
    for (int k = 0; k < 30; ++k)
      rows.push_back({msi::Value("Sig" + std::to_string(level)),
                      msi::Value("Sig" + std::to_string(level + 1)),
                      msi::Value("p" + std::to_string(k)), 2});
  pkg.add("DrLocator", rows);
  pkg.add("DrLocator", {{"Sig15", {}, "[WindowsFolder]", 0}});
  pkg.add("AppSearch", {{"FOUND", "Sig0"}, {"TOP", "Sig15"}});
  auto session = pkg.open();
  EXPECT_EQ(session->doAction("AppSearch"), ActionStatus::Success);
  EXPECT_TRUE(answers(*session));
}

TEST(HostileTables, ACustomActionNamedLikeADialogRunsAsTheCustomAction) {
  TestPackage pkg("packages/hostile.txt");
  auto session = pkg.open();
  EXPECT_EQ(session->actionKind("Both"), msi::Session::ActionKind::Custom);
  EXPECT_EQ(session->doAction("Both"), ActionStatus::Success);
  EXPECT_EQ(session->property("RAN"), "custom");
}

}  // namespace
