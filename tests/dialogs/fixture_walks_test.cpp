// Walks through the demo package's wizard and those of real packages from several authoring
// tools, and the errors of walks that no longer fit them.
#include <gtest/gtest.h>

#include "tests/dialogs/dialog_test_support.h"
#include "tests/support/fixtures.h"
#include "tests/support/table_sections.h"

namespace fennick::test {
namespace {

using msi::ActionStatus;
using msi::dialogs::Walk;

// The walk (a file of tests/dialogs/walks when it ends in .walk, else its text) played on
// `package`: "demo", or a fixture; null when the fixtures are absent.
std::unique_ptr<PlayedRun> play(const std::string& package, const std::string& walk,
                                std::vector<std::pair<std::string, std::string>> properties = {}) {
  if (package != "demo" && fixturesDir().empty()) return nullptr;
  return playWalk(package == "demo" ? demoPackage() : openFixture(package),
                  walk.ends_with(".walk") ? Walk::load(sourcePath("tests/dialogs/walks/" + walk))
                                          : Walk::parse(walk, "test.walk"),
                  std::move(properties));
}

TEST(Walks, EndAsTheirTableSays) {
  for (const auto& c : caseRows(sourcePath("tests/dialogs/walks/outcomes.txt"))) {
    SCOPED_TRACE(c.at(0) + ": " + c.at(1));
    auto run = play(c[0], c[1]);
    if (!run) GTEST_SKIP() << "fixtures folder not found: the demo's walks ran, the packages' did not";
    EXPECT_TRUE(run->playedThrough());
    const std::vector<std::string> facts(c.begin() + 3, c.end());
    EXPECT_EQ(run->outcome(facts), c.at(2) + asLines(facts)) << run->host.all();
  }
}

TEST(Walks, ThatNoLongerFitSayWhereAndWhy) {
  for (const auto& c : caseRows(sourcePath("tests/dialogs/walks/mismatches.txt"))) {
    SCOPED_TRACE(c.at(0) + ": " + c.at(1));
    std::vector<std::pair<std::string, std::string>> properties;
    for (std::size_t i = 3; i < c.size(); ++i)
      properties.emplace_back(c[i].substr(0, c[i].find('=')), c[i].substr(c[i].find('=') + 1));
    auto run = play(c[0], c[1], properties);
    if (!run) GTEST_SKIP() << "fixtures folder not found: the demo's walks ran, the packages' did not";
    ASSERT_TRUE(run->player->mismatch()) << "the walk played to its end";
    EXPECT_EQ(std::string(run->player->mismatch()->what()), c.at(2));
    EXPECT_EQ(run->sequence.status, ActionStatus::Failure);
    EXPECT_THROW(run->player->rethrowMismatch(), msi::dialogs::WalkError);
  }
}

TEST(Walks, DialogActionsAfterAMismatchFailAtOnce) {
  KeptMessages host;
  auto walk = std::make_shared<Walk>(Walk::parse("dialog ReadyDlg\n", "test.walk"));
  msi::dialogs::WalkPlayer player(walk);
  auto session = openSession(demoPackage(), host, &player);
  EXPECT_EQ(session->doAction("WelcomeDlg"), ActionStatus::Failure);
  ASSERT_TRUE(player.mismatch());
  EXPECT_EQ(session->doAction("WelcomeDlg"), ActionStatus::Failure);
  EXPECT_EQ(walk->peek(), nullptr);
}

}  // namespace
}  // namespace fennick::test
