// Access keys of control texts. The tables mark them as Windows does, `&Folder:` underlines
// F and `&&` is one ampersand, which is also how Qt reads a label's or a button's text: such
// texts go to Qt as they are. A text control's access key moves the focus to the control
// after it in the tab order (its buddy); a text without a buddy shows its text without marks.
#pragma once

#include <string>

#include <QString>

#include "engine/dialogs/dialog_model.h"

namespace msi::qt {

// The text shown where Qt does not read access keys: `&` dropped (`&&` is one `&`), unless the
// control shows its text as it is (NoPrefix).
QString labelText(const std::string& text, bool noPrefix);

// The text for a Qt widget that reads access keys: as authored, or with every `&` doubled
// when the control shows its text as it is.
QString mnemonicText(const std::string& text, bool noPrefix);

// Whether the text marks an access key (an `&` before a character other than `&`).
bool hasMnemonic(const std::string& text);

// The control a text control's access key focuses: the first one after it in the tab order
// (Control_Next) that takes input, or after it in table order for a text outside the tab
// order; nullptr when there is none.
const dialogs::Control* mnemonicBuddy(const dialogs::Dialog& dialog, const dialogs::Control& label);

}  // namespace msi::qt
