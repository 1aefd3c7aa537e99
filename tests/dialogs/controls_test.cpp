// Controls as the renderer sees them and the operations they take: texts and styles, check
// boxes, radio groups, lists, edits, folder browsing, and the control conditions.
#include <gtest/gtest.h>

#include "engine/dialogs/wizard.h"
#include "tests/dialogs/dialog_test_support.h"
#include "tests/support/session_checks.h"

namespace fennick::test {
namespace {

using msi::dialogs::ControlType;
using msi::dialogs::OperationError;
using msi::dialogs::Wizard;

// The package of packages/controls.txt named like the running test, over its package "dialog"
// (dialog `D` and its button `Ok`).
struct Package {
  explicit Package(PropertyValues properties = {}) {
    const std::string file = "dialogs/packages/controls.txt";
    auto tables = packageRows(file);
    for (const auto& [table, rows] : packageRows(file, "dialog")) tables[table] = rows + tables[table];
    session = openSession(rowsPackage(tables), host, nullptr, std::move(properties));
  }
  ::testing::AssertionResult has(const std::vector<std::string>& facts, const Wizard* w = nullptr) const {
    return hasFacts(*session, host, facts, w);
  }
  KeptMessages host;
  std::unique_ptr<msi::Session> session;
};

// The running test's package with its dialog `D` shown.
struct Controls : ::testing::Test {
  Package p;
  Wizard w{*p.session, "D"};
};

TEST_F(Controls, TextsAreFormattedWithTheirStyleParsedOff) {
  const auto& d = w.active();
  EXPECT_EQ(d.title, "Rows options");
  EXPECT_EQ(d.width, 300);
  EXPECT_EQ(d.vCentering, 40);
  EXPECT_TRUE(d.modal());
  EXPECT_EQ(d.find("Title")->rect, (msi::dialogs::Rect{5, 5, 200, 15}));
  // The last prefix names the style.
  EXPECT_TRUE(p.has({"Title.text=Setup of Rows", "Title.style=Bold", "Rtf.text={\\rtf1 [NotFormatted]}",
                     "Braces.text={not a style} Rows", "Braces.style=", "Ok.help=Close", "Ok.text=&OK"}, &w));
  ASSERT_NE(w.textStyle("Bold"), nullptr);
  EXPECT_TRUE(w.textStyle("Bold")->bold());
  EXPECT_EQ(w.textStyle("Big")->color, 255u);
  EXPECT_FALSE(w.textStyle("Bold")->color);
  EXPECT_EQ(w.defaultTextStyle(), "Big");
  EXPECT_EQ(w.textStyle("Nope"), nullptr);
}

TEST_F(Controls, ControlConditionsFollowTheProperties) {
  EXPECT_TRUE(p.has({"Next.enabled=no"}, &w));
  EXPECT_EQ(w.active().defaultControl, "Ok");
  EXPECT_EQ(messageOf<OperationError>([&] { w.press("Next"); }), "dialog `D`: control `Next` is disabled");
  w.setChecked("Agree", true);
  EXPECT_TRUE(p.has({"AGREE=1", "Next.enabled=yes", "Note.visible=no"}, &w));
  EXPECT_EQ(w.active().defaultControl, "Next");
  w.setChecked("Agree", false);
  // Nothing shows the note again: a broken condition acts as false.
  EXPECT_TRUE(p.has({"AGREE=", "Next.enabled=no", "Note.visible=no"}, &w));
}

TEST_F(Controls, CheckBoxValuesComeFromTheCheckBoxTableOrTheProperty) {
  EXPECT_TRUE(p.has({"Table.checked=no", "Kept.checked=yes"}, &w));
  w.setChecked("Table", true);
  EXPECT_EQ(p.session->property("FROMTABLE"), "yes-Rows");
  w.setChecked("Kept", false);
  EXPECT_EQ(p.session->property("KEPT"), "");
  w.setChecked("Kept", true);
  EXPECT_EQ(p.session->property("KEPT"), "something");
  // A check box publishes its events when it changes, not when it is set to what it is.
  w.setChecked("Plain", true);
  w.setChecked("Plain", true);
  EXPECT_TRUE(p.has({"PLAIN=1", "CLICKS=x"}));
  w.setChecked("Plain", false);
  EXPECT_EQ(p.session->property("CLICKS"), "xx");
  EXPECT_THROW(w.setValue("Plain", "1"), OperationError);
}

TEST_F(Controls, RadioGroupsAndListsTakeOnlyTheirItems) {
  const auto& full = w.active().find("Kind")->items.at(1);
  EXPECT_EQ(full.text + " | " + full.textStyle + " | " + full.help, "&Full Rows | Big | All of it");
  EXPECT_EQ(full.rect, (msi::dialogs::Rect{0, 20, 100, 15}));
  // The Sorted attribute keeps the Order column; without it the list is by text.
  EXPECT_TRUE(p.has({"Kind.items=Basic, Full", "Kind.value=Basic", "Sorted.items=z, a", "ByText.items=a, m, z"}, &w));
  EXPECT_EQ(w.active().find("ByText")->items[1].text, "m");  // no text: the value shows
  w.choose("Kind", "Full");
  EXPECT_EQ(p.session->property("KIND"), "Full");
  EXPECT_EQ(messageOf<OperationError>([&] { w.choose("Kind", "Custom"); }),
            "dialog `D`: control `Kind` has no item `Custom` (items: Basic, Full)");
  w.choose("ByText", "m");
  // A combo box takes typed text unless it is a list only.
  w.setValue("Free", "typed");
  EXPECT_THROW(w.setValue("Fixed", "typed"), OperationError);
  w.setValue("Fixed", "only");
  EXPECT_TRUE(p.has({"LIST=m", "FREE=typed", "FIXED=only"}));
  EXPECT_THROW(w.choose("Ok", "x"), OperationError);
}

TEST(ControlEdits, EditsKeepTheirLimits) {
  Package p(PropertyValues{{"PIDTemplate", "12345<### - %%%%%%&=>@@@@@"}});
  Wizard w(*p.session, "D");
  EXPECT_EQ(w.active().find("Name")->maxLength, 5);
  EXPECT_EQ(w.active().find("Secret")->maxLength, 80);
  EXPECT_TRUE(w.active().find("Secret")->password());
  w.setValue("Name", "héllo");  // five characters, six bytes
  EXPECT_EQ(p.session->property("NAME"), "héllo");
  EXPECT_THROW(w.setValue("Name", "toolong"), OperationError);
  w.setValue("Count", "-12");
  EXPECT_THROW(w.setValue("Count", "12a"), OperationError);
  EXPECT_EQ(p.session->property("COUNT"), "-12");
  w.setValue("Count", "");
  EXPECT_EQ(p.session->property("COUNT"), "");
  // A masked edit takes its shown segment whole: digits, letters and literals in place.
  EXPECT_EQ(w.active().find("Key")->mask, "12345<### - %%%%%%&=>@@@@@");
  w.setValue("Key", "123 - 456789xy");
  EXPECT_EQ(p.session->property("PIDKEY"), "123 - 456789xy");
  for (const char* refused : {"123 - 45678xy", "123-456789xy", "123 - 456789x1", "12345-67890", "abc - 456789xy"})
    EXPECT_THROW(w.setValue("Key", refused), OperationError) << refused;
  const std::string refusal = messageOf<OperationError>([&] { w.setValue("Key", "1234567"); });
  EXPECT_NE(refusal.find("takes a value of the form `### - ######AA`"), std::string::npos) << refusal;
  w.setValue("Key", "");  // nothing typed
  EXPECT_EQ(p.session->property("PIDKEY"), "");
}

TEST_F(Controls, IndirectControlsEditThePropertyTheirPropertyNames) {
  EXPECT_EQ(w.active().find("Path")->property, "TARGET");
  EXPECT_TRUE(p.has({"Path.value=C:\\Old\\"}, &w));
  w.setValue("Path", "C:\\New\\");
  EXPECT_TRUE(p.has({"TARGET=C:\\New\\", "_BROWSE=TARGET", "Path.value=C:\\New\\"}, &w));
  EXPECT_THROW(w.setValue("Path", "relative\\path"), OperationError);
  EXPECT_EQ(p.session->property("TARGET"), "C:\\New\\");
}

TEST_F(Controls, FoldersAreBrowsedOnTheEmulatedMachine) {
  const auto& list = *w.active().find("List");
  EXPECT_TRUE(std::any_of(list.items.begin(), list.items.end(), [](const auto& i) { return i.value == "Common Files"; }));
  EXPECT_TRUE(p.has({"Combo.items=C:\\, C:\\Program Files\\"}, &w));
  EXPECT_EQ(w.active().find("Combo")->items.at(1).text, "Program Files");
  w.choose("List", "Common Files");
  EXPECT_TRUE(p.has({"WHERE=C:\\Program Files\\Common Files\\",
                     "Combo.items=C:\\, C:\\Program Files\\, C:\\Program Files\\Common Files\\"}, &w));
  EXPECT_THROW(w.choose("List", "Nothing Here"), OperationError);
  w.press("Up");
  w.press("Up");
  EXPECT_EQ(p.session->property("WHERE"), "C:\\");
  w.press("Up");
  EXPECT_EQ(p.session->property("WHERE"), "C:\\");
  w.press("New");
  EXPECT_EQ(p.session->property("WHERE"), "C:\\New Folder\\");
  w.choose("Combo", "C:\\");
  EXPECT_EQ(p.session->property("WHERE"), "C:\\");
  w.choose("Volume", "C:\\");
  EXPECT_EQ(p.session->property("VOLUME"), "C:\\");
  EXPECT_THROW(w.choose("Volume", "D:\\"), OperationError);
}

// Pictures name their Binary rows; a type the engine does not know shows nothing and takes no input.
TEST_F(Controls, ImagesNameTheirBinaryRowsAndUnknownTypesTakeNoInput) {
  EXPECT_TRUE(p.has({"Banner.image=BannerBmp", "UpButton.image=UpIcon", "UpButton.text="}, &w));
  EXPECT_TRUE(w.binary("BannerBmp").empty());  // no Binary table in this package
  EXPECT_EQ(w.active().find("Odd")->type, ControlType::Unknown);
  EXPECT_EQ(w.active().find("Odd")->typeName, "Hologram");
  EXPECT_EQ(messageOf<OperationError>([&] { w.setValue("Odd", "1"); }),
            "dialog `D`: control `Odd` is a Hologram, which `set` does not apply to");
}

}  // namespace
}  // namespace fennick::test
