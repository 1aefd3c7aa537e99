// Access keys as the tables write them (`&` marks one, `&&` is an ampersand) and as Qt reads
// them, which is the same notation: texts go to Qt as authored, or without marks where
// nothing would answer the key.
#include <gtest/gtest.h>

#include "engine/qt/mnemonics.h"
#include "tests/dialogs/dialog_test_support.h"
#include "tests/support/table_sections.h"

namespace msi::qt {
namespace {

std::vector<std::vector<std::string>> cases() {
  return fennick::test::caseRows(fennick::test::sourcePath("tests/qt/mnemonics.txt"),
                                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
}

TEST(Mnemonics, TextsKeepOrDropTheirMarks) {
  for (const auto& c : cases()) {
    SCOPED_TRACE(c.at(0));
    const bool noPrefix = c.at(1) == "yes";
    EXPECT_EQ(labelText(c[0], noPrefix).toStdString(), c.at(2));
    EXPECT_EQ(mnemonicText(c[0], noPrefix).toStdString(), c.at(3));
    if (!noPrefix) {
      EXPECT_EQ(hasMnemonic(c[0]) ? "yes" : "no", c.at(4));
    }
  }
}

TEST(Mnemonics, TheBuddyIsTheNextControlThatTakesInput) {
  dialogs::Dialog d;
  for (const auto& c : cases()) {
    dialogs::Control& control = d.controls.emplace_back();
    control.name = c.at(0);
    control.type = dialogs::controlTypeFromName(c.at(1));
    control.next = c.at(2);
  }
  for (const auto& c : cases())
    if (c.size() > 3) EXPECT_EQ(mnemonicBuddy(d, *d.find(c[0])), c[3] == "none" ? nullptr : d.find(c[3])) << c[0];
}

}  // namespace
}  // namespace msi::qt
