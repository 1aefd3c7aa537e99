// The selection tree over the demo package's features, the texts it publishes, and the
// feature events of push buttons.
#include <gtest/gtest.h>

#include "engine/dialogs/selection_tree.h"
#include "engine/dialogs/wizard.h"
#include "tests/dialogs/dialog_test_support.h"
#include "tests/support/session_checks.h"

namespace fennick::test {
namespace {

using msi::InstallState;
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
  InstallState request(const std::string& feature) const {
    return session->featureTree()->entries()[*session->featureTree()->find(feature)].request;
  }
  KeptMessages host;
  std::unique_ptr<msi::Session> session;
};

TEST(SelectionTree, ListsTheFeaturesInDisplayOrderUnderTheirParents) {
  CostedDemo demo;
  Wizard w(*demo.session, "FeaturesDlg");
  const auto& tree = *w.active().find("Tree");
  ASSERT_EQ(tree.tree.size(), 3u);
  EXPECT_EQ(tree.tree[0].feature, "Complete");
  EXPECT_EQ(tree.tree[0].depth, 0);
  EXPECT_TRUE(tree.tree[0].expanded);  // Display 1 is odd
  EXPECT_EQ(tree.tree[1].feature, "Docs");
  EXPECT_EQ(tree.tree[1].title, "Documentation");
  EXPECT_EQ(tree.tree[1].depth, 1);
  EXPECT_FALSE(tree.tree[1].expanded);
  EXPECT_EQ(tree.tree[1].state, InstallState::Local);
  EXPECT_EQ(tree.tree[2].feature, "Extras");
  EXPECT_EQ(tree.tree[2].state, InstallState::Absent);
}

TEST(SelectionTree, TheHighlightedFeatureIsPublishedToItsSubscribers) {
  CostedDemo demo(true);
  Wizard w(*demo.session, "FeaturesDlg");
  EXPECT_EQ(w.active().find("StateIcon")->selectionIcon, "local");  // the highlighted feature's state
  // The first feature is highlighted as the dialog appears.
  EXPECT_EQ(w.active().find("Tree")->highlightedFeature, "Complete");
  EXPECT_EQ(w.active().find("ItemDescription")->text, "The whole program.");
  EXPECT_NE(w.active().find("ItemSize")->text.find("1 of 2"), std::string::npos) << w.active().find("ItemSize")->text;
  EXPECT_EQ(demo.session->property("_BrowseProperty"), "INSTALLDIR");
  w.choose("Tree", "Docs");
  EXPECT_EQ(w.active().find("ItemDescription")->text, "Manuals and examples.");
  EXPECT_EQ(demo.session->property("_BrowseProperty"), "DocsDir");
  w.choose("Tree", "Extras");
  EXPECT_EQ(demo.session->property("_BrowseProperty"), "");  // Extras has no folder of its own
  EXPECT_THROW(w.choose("Tree", "Nothing"), OperationError);
  EXPECT_EQ(w.active().find("StateIcon")->selectionIcon, "absent");
  w.setFeatureState("Extras", FeatureChoice::Local);  // a change of state changes the icon
  EXPECT_EQ(w.active().find("StateIcon")->selectionIcon, "local");
}

TEST(SelectionTree, ChoicesChangeRequestsAndAbsentTakesTheSubtree) {
  CostedDemo demo;
  Wizard w(*demo.session, "FeaturesDlg");
  w.setFeatureState("Extras", FeatureChoice::Local);
  EXPECT_EQ(demo.request("Extras"), InstallState::Local);
  EXPECT_EQ(w.active().find("Tree")->tree[2].state, InstallState::Local);
  EXPECT_EQ(w.active().find("Tree")->highlightedFeature, "Extras");
  EXPECT_NE(w.active().find("ItemDescription")->text.find("Sample data"), std::string::npos);
  w.setFeatureState("Docs", FeatureChoice::Advertise);
  EXPECT_EQ(demo.request("Docs"), InstallState::Advertised);
  w.setFeatureState("Complete", FeatureChoice::Absent);
  EXPECT_EQ(demo.request("Complete"), InstallState::Absent);
  EXPECT_EQ(demo.request("Docs"), InstallState::Absent);
  EXPECT_EQ(demo.request("Extras"), InstallState::Absent);
  // Installing a child installs its parent again.
  w.setFeatureState("Docs", FeatureChoice::Local);
  EXPECT_EQ(demo.request("Complete"), InstallState::Local);
  // Nothing of this is a Preselected choice of the tree.
  EXPECT_EQ(demo.session->property("Preselected"), "");
}

TEST(SelectionTree, FeatureAttributesLimitTheChoices) {
  CostedDemo demo(true);
  Wizard w(*demo.session, "FeaturesDlg");
  EXPECT_EQ(messageOf<OperationError>([&] { w.setFeatureState("Core", FeatureChoice::Absent); }),
            "dialog `FeaturesDlg`: feature `Core` cannot be left out (UIDisallowAbsent)");
  EXPECT_THROW(w.setFeatureState("Core", FeatureChoice::Advertise), OperationError);
  EXPECT_EQ(demo.request("Core"), InstallState::Local);
  w.setFeatureState("Core", FeatureChoice::Source);
  EXPECT_EQ(demo.request("Core"), InstallState::Source);
}

TEST(SelectionTree, EntireFeatureChoicesTakeEverythingBelow) {
  CostedDemo demo;
  Wizard w(*demo.session, "FeaturesDlg");
  ASSERT_NE(demo.request("Extras"), InstallState::Local);
  w.setFeatureState("Complete", FeatureChoice::Local);
  EXPECT_NE(demo.request("Extras"), InstallState::Local);
  w.setFeatureState("Complete", FeatureChoice::AllLocal);
  EXPECT_EQ(demo.request("Extras"), InstallState::Local);
  EXPECT_EQ(demo.request("Docs"), InstallState::Local);
  EXPECT_EQ(messageOf<OperationError>([&] { w.setFeatureState("Docs", FeatureChoice::AllLocal); }),
            "dialog `FeaturesDlg`: feature `Docs` has no features below it");
}

// Where a feature's components may run decides between local and source (Component
// attributes: 0 local only, 1 source only, 2 either).
TEST(SelectionTree, ComponentsDecideBetweenLocalAndSource) {
  CostedDemo demo(true);
  Wizard w(*demo.session, "FeaturesDlg");
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
  EXPECT_EQ(demo.request("SourceOnly"), InstallState::Source);
}

TEST(SelectionTree, HiddenAndDisabledFeaturesAreNotListed) {
  CostedDemo demo(true);
  Wizard w(*demo.session, "FeaturesDlg");
  std::vector<std::string> listed;
  for (const auto& item : w.active().find("Tree")->tree) listed.push_back(item.feature);
  EXPECT_EQ(listed, (std::vector<std::string>{"Complete", "Docs", "Extras"}));
  EXPECT_THROW(w.setFeatureState("UnderHidden", FeatureChoice::Absent), OperationError);
}

TEST(SelectionTree, ButtonsPublishFeatureEventsAndInstallLevels) {
  CostedDemo demo(true);
  Wizard w(*demo.session, "FeaturesDlg");
  w.press("None");
  EXPECT_EQ(demo.request("Complete"), InstallState::Absent);
  EXPECT_EQ(demo.request("Docs"), InstallState::Absent);
  EXPECT_EQ(demo.session->property("Preselected"), "1");
  EXPECT_EQ(w.active().find("Tree")->tree[0].state, InstallState::Absent);
  w.press("All");
  EXPECT_EQ(demo.request("Docs"), InstallState::Local);
  EXPECT_EQ(demo.request("Complete"), InstallState::Local);
  w.press("More");
  EXPECT_EQ(demo.session->property("INSTALLLEVEL"), "10");
  EXPECT_EQ(demo.request("Extras"), InstallState::Local);
  w.press("Bad");
  EXPECT_TRUE(demo.host.said("dialog `FeaturesDlg` control `Bad`: SetInstallLevel: install level 0 is outside"));
}

TEST(SelectionTree, SetTargetPathPublishesTheNewPath) {
  CostedDemo demo(true);
  Wizard w(*demo.session, "InstallDirDlg");
  EXPECT_EQ(w.active().find("PathShown")->text, "");
  w.setValue("Folder", "C:\\Fresh\\");
  w.press("Apply");
  EXPECT_EQ(demo.session->targetPath("INSTALLDIR").value_or(""), "C:\\Fresh\\");
  EXPECT_EQ(demo.session->targetPath("DocsDir").value_or(""), "C:\\Fresh\\Docs\\");
  EXPECT_EQ(w.active().find("PathShown")->text, "C:\\Fresh\\");
}

}  // namespace
}  // namespace fennick::test
