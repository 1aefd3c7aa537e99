// Access keys as the tables write them (`&` marks one, `&&` is an ampersand) and as Qt reads
// them, which is the same notation: texts go to Qt as authored, or without marks where
// nothing would answer the key.
#include <gtest/gtest.h>

#include "engine/qt/mnemonics.h"

namespace msi::qt {
namespace {

TEST(Mnemonics, TextsKeepOrDropTheirMarks) {
  struct Case {
    const char* text;
    bool noPrefix;
    const char* label;     // shown where no key is taken
    const char* mnemonic;  // given to a widget that takes the key
    bool marked;
  };
  const Case cases[] = {
      {"&Folder:", false, "Folder:", "&Folder:", true},
      {"Just &me", false, "Just me", "Just &me", true},
      {"Fish && chips", false, "Fish & chips", "Fish && chips", false},
      {"Salt && &vinegar", false, "Salt & vinegar", "Salt && &vinegar", true},
      {"A&B as written", true, "A&B as written", "A&&B as written", false},
      {"Ends with &", false, "Ends with ", "Ends with &", false},
      {"", false, "", "", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(labelText(c.text, c.noPrefix).toStdString(), c.label);
    EXPECT_EQ(mnemonicText(c.text, c.noPrefix).toStdString(), c.mnemonic);
    if (!c.noPrefix) {
      EXPECT_EQ(hasMnemonic(c.text), c.marked);
    }
  }
}

TEST(Mnemonics, TheBuddyIsTheNextControlThatTakesInput) {
  dialogs::Dialog d;
  auto add = [&](const char* name, dialogs::ControlType type, const char* next) {
    dialogs::Control c;
    c.name = name;
    c.type = type;
    c.next = next;
    d.controls.push_back(c);
  };
  using T = dialogs::ControlType;
  add("Label", T::Text, "Banner");
  add("Banner", T::Bitmap, "Path");
  add("Path", T::PathEdit, "Label");
  add("Loop", T::Text, "Loop2");
  add("Loop2", T::Text, "Loop");  // a ring without any input control
  add("Broken", T::Text, "Missing");
  add("Loose", T::Text, "");  // outside the tab order: the next input control in table order
  add("Line", T::Line, "");
  add("Box", T::CheckBox, "");
  EXPECT_EQ(mnemonicBuddy(d, *d.find("Label")), d.find("Path"));
  EXPECT_EQ(mnemonicBuddy(d, *d.find("Loose")), d.find("Box"));
  EXPECT_EQ(mnemonicBuddy(d, *d.find("Loop")), nullptr);
  EXPECT_EQ(mnemonicBuddy(d, *d.find("Broken")), nullptr);
}

}  // namespace
}  // namespace msi::qt
