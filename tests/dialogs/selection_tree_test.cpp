// The selection tree over the demo package's features, the texts it publishes, and the
// feature events of push buttons.
#include <gtest/gtest.h>

#include "engine/dialogs/selection_tree.h"
#include "engine/dialogs/wizard.h"
#include "tests/dialogs/dialog_test_support.h"
#include "tests/support/session_checks.h"

namespace fennick::test {
namespace {

using msi::dialogs::FeatureChoice;
using msi::dialogs::OperationError;
using msi::dialogs::Wizard;

// The demo with costing done, as the UI sequence leaves it before its first dialog; with
// `added`, the rows of packages/selection_tree.txt named like the running test added to it.
struct CostedDemo {
  explicit CostedDemo(bool added = false) {
    session = openSession(added ? rowsPackage(packageRows("dialogs/packages/selection_tree.txt"), true) : demoPackage(), host);
    for (const char* action : {"CostInitialize", "FileCost", "CostFinalize"})
      EXPECT_EQ(session->doAction(action), msi::ActionStatus::Success) << action;
  }
  ::testing::AssertionResult has(const std::vector<std::string>& facts, const Wizard* w = nullptr) const {
    return hasFacts(*session, host, facts, w);
  }
  KeptMessages host;
  std::unique_ptr<msi::Session> session;
};

// The demo, with the running test's rows added when `Added`, on its FeaturesDlg.
template <bool Added>
struct OnFeatures : ::testing::Test {
  CostedDemo demo{Added};
  Wizard w{*demo.session, "FeaturesDlg"};
};
using SelectionTree = OnFeatures<false>;
using SelectionTreeRows = OnFeatures<true>;

TEST_F(SelectionTree, ListsTheFeaturesInDisplayOrderUnderTheirParents) {
  std::vector<std::string> listed;
  for (const auto& i : w.active().find("Tree")->tree)
    listed.push_back(std::string(i.depth, ' ') + i.feature + " `" + i.title + "` " +
                     std::to_string(static_cast<int>(i.state)) + (i.expanded ? " expanded" : ""));
  // An odd Display value is expanded; Docs is local, Extras absent.
  EXPECT_EQ(listed, (std::vector<std::string>{"Complete `Fennick Demo` 3 expanded", " Docs `Documentation` 3",
                                              " Extras `Extras` 2 expanded"}));
}

TEST_F(SelectionTreeRows, TheHighlightedFeatureIsPublishedToItsSubscribers) {
  // The first feature is highlighted as the dialog appears; the icon shows its state.
  EXPECT_TRUE(demo.has({"StateIcon.icon=local", "Tree.highlighted=Complete", "ItemDescription.text=The whole program.",
                        "_BrowseProperty=INSTALLDIR"}, &w));
  EXPECT_NE(w.active().find("ItemSize")->text.find("1 of 2"), std::string::npos) << w.active().find("ItemSize")->text;
  w.choose("Tree", "Docs");
  EXPECT_TRUE(demo.has({"ItemDescription.text=Manuals and examples.", "_BrowseProperty=DocsDir"}, &w));
  w.choose("Tree", "Extras");
  EXPECT_THROW(w.choose("Tree", "Nothing"), OperationError);
  EXPECT_TRUE(demo.has({"_BrowseProperty=", "StateIcon.icon=absent"}, &w));  // Extras has no folder of its own
  w.setFeatureState("Extras", FeatureChoice::Local);  // a change of state changes the icon
  EXPECT_EQ(w.active().find("StateIcon")->selectionIcon, "local");
}

TEST_F(SelectionTree, ChoicesChangeRequestsAndAbsentTakesTheSubtree) {
  w.setFeatureState("Extras", FeatureChoice::Local);
  EXPECT_TRUE(demo.has({"&Extras=3", "Tree.items=Complete:3, Docs:3, Extras:3", "Tree.highlighted=Extras"}, &w));
  EXPECT_NE(w.active().find("ItemDescription")->text.find("Sample data"), std::string::npos);
  w.setFeatureState("Docs", FeatureChoice::Advertise);
  EXPECT_TRUE(demo.has({"&Docs=1"}));
  w.setFeatureState("Complete", FeatureChoice::Absent);
  EXPECT_TRUE(demo.has({"&Complete=2", "&Docs=2", "&Extras=2"}));
  // Installing a child installs its parent again; nothing of this is a Preselected choice.
  w.setFeatureState("Docs", FeatureChoice::Local);
  EXPECT_TRUE(demo.has({"&Complete=3", "Preselected="}));
}

// Hidden and disabled features are not listed; the tree offers what a feature's attributes allow.
TEST_F(SelectionTreeRows, FeatureAttributesLimitTheChoices) {
  EXPECT_TRUE(demo.has({"Tree.items=Complete:3, Docs:3, Extras:2, Core:3"}, &w));
  EXPECT_THROW(w.setFeatureState("UnderHidden", FeatureChoice::Absent), OperationError);
  EXPECT_EQ(messageOf<OperationError>([&] { w.setFeatureState("Core", FeatureChoice::Absent); }),
            "dialog `FeaturesDlg`: feature `Core` cannot be left out (UIDisallowAbsent)");
  EXPECT_THROW(w.setFeatureState("Core", FeatureChoice::Advertise), OperationError);
  EXPECT_TRUE(demo.has({"&Core=3"}));
  w.setFeatureState("Core", FeatureChoice::Source);
  EXPECT_TRUE(demo.has({"&Core=4"}));
}

TEST_F(SelectionTree, EntireFeatureChoicesTakeEverythingBelow) {
  w.setFeatureState("Complete", FeatureChoice::Local);
  EXPECT_TRUE(demo.has({"&Extras=-1"}));  // as it was: nothing selected it
  w.setFeatureState("Complete", FeatureChoice::AllLocal);
  EXPECT_TRUE(demo.has({"&Extras=3", "&Docs=3"}));
  EXPECT_EQ(messageOf<OperationError>([&] { w.setFeatureState("Docs", FeatureChoice::AllLocal); }),
            "dialog `FeaturesDlg`: feature `Docs` has no features below it");
}

// Where a feature's components may run decides between local and source (Component
// attributes: 0 local only, 1 source only, 2 either).
TEST_F(SelectionTreeRows, ComponentsDecideBetweenLocalAndSource) {
  std::map<std::string, std::vector<std::string>> offered;
  for (const auto& item : w.active().find("Tree")->tree)
    for (FeatureChoice c : msi::dialogs::treeChoices(item)) offered[item.feature].emplace_back(featureChoiceName(c));
  using Names = std::vector<std::string>;
  EXPECT_EQ(offered["LocalOnly"], (Names{"local", "advertise", "absent"}));
  EXPECT_EQ(offered["SourceOnly"], (Names{"source", "advertise", "absent"}));
  EXPECT_EQ(offered["Either"], (Names{"local", "source", "advertise", "absent"}));
  EXPECT_EQ(offered["Complete"], (Names{"local", "all-local", "advertise", "absent"}));
  EXPECT_THROW(w.setFeatureState("LocalOnly", FeatureChoice::Source), OperationError);
  w.setFeatureState("SourceOnly", FeatureChoice::Source);
  EXPECT_TRUE(demo.has({"&SourceOnly=4"}));
}

TEST_F(SelectionTreeRows, ButtonsPublishFeatureEventsAndInstallLevels) {
  w.press("None");
  EXPECT_TRUE(demo.has({"&Complete=2", "&Docs=2", "Preselected=1", "Tree.items=Complete:2, Docs:2, Extras:2"}, &w));
  w.press("All");
  EXPECT_TRUE(demo.has({"&Docs=3", "&Complete=3"}));
  w.press("More");
  EXPECT_TRUE(demo.has({"INSTALLLEVEL=10", "&Extras=3"}));
  w.press("Bad");
  EXPECT_TRUE(demo.host.said("dialog `FeaturesDlg` control `Bad`: SetInstallLevel: install level 0 is outside"));
}

TEST(SelectionTreePaths, SetTargetPathPublishesTheNewPath) {
  CostedDemo demo(true);
  Wizard w(*demo.session, "InstallDirDlg");
  EXPECT_EQ(w.active().find("PathShown")->text, "");
  w.setValue("Folder", "C:\\Fresh\\");
  w.press("Apply");
  EXPECT_TRUE(demo.has({"[INSTALLDIR]=C:\\Fresh\\", "[DocsDir]=C:\\Fresh\\Docs\\", "PathShown.text=C:\\Fresh\\"}, &w));
}

}  // namespace
}  // namespace fennick::test
