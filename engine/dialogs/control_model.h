// One control of a dialog: what the Control table row and the tables behind its type
// (CheckBox, RadioButton, ComboBox, ListBox, ListView, UIText) say when the dialog appears,
// and the live part read again from the session after every operation.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/dialogs/dialog_model.h"
#include "engine/session/session.h"

namespace msi::dialogs {

// A Control table row as read.
struct ControlRow {
  std::string name, type, property, text, next, help;
  Rect rect;
  int attributes = 0;
};

// Builds the control as it appears: texts formatted, items of its lists, the check box value.
Control loadControl(Session& session, const ControlRow& row);

// The property a control edits: the Property column, or with the Indirect attribute the
// property that one names (the column itself while that is unset).
std::string resolveProperty(const Session& session, const Control& control);

// Reads the live state again: value, checked state, directory and volume lists, tree states.
void refreshControl(Session& session, Control& control);

// Sizes as the installer's dialogs show them ("512 bytes", "12 KB", "3.4 MB"), with the unit
// names of the UIText table when the package has them.
std::string formatSize(Session& session, std::uint64_t bytes);

// A UIText entry ("" when missing).
std::string uiText(Session& session, std::string_view key);

}  // namespace msi::dialogs
