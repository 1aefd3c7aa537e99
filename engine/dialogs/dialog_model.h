// What a renderer needs to draw a package's dialog: the dialog and its controls as the Dialog,
// Control, RadioButton, ComboBox, ListBox, ListView, CheckBox and Feature tables describe
// them, with the live state the dialog engine keeps (values, visibility, enabled, list items,
// selection tree states). Geometry is in installer units (about 4/3 pixel each at 96 DPI);
// a renderer scales it. Texts are formatted already, with their `{\Style}` prefix parsed off
// into `textStyle`; an `&` before a letter still marks the access key, as the tables write it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/session/session_context.h"

namespace msi::dialogs {

// Dialog attribute bits (Dialog.Attributes).
inline constexpr int kDialogVisible = 0x1;
inline constexpr int kDialogModal = 0x2;
inline constexpr int kDialogMinimize = 0x4;
inline constexpr int kDialogSysModal = 0x8;
inline constexpr int kDialogKeepModeless = 0x10;
inline constexpr int kDialogTrackDiskSpace = 0x20;
inline constexpr int kDialogUseCustomPalette = 0x40;
inline constexpr int kDialogRightToLeftReading = 0x80;
inline constexpr int kDialogRightAligned = 0x100;
inline constexpr int kDialogLeftScroll = 0x200;
inline constexpr int kDialogError = 0x10000;

// Control attribute bits shared by every type (Control.Attributes).
inline constexpr int kControlVisible = 0x1;
inline constexpr int kControlEnabled = 0x2;
inline constexpr int kControlSunken = 0x4;
inline constexpr int kControlIndirect = 0x8;  // Property names a property holding the name
inline constexpr int kControlInteger = 0x10;
inline constexpr int kControlRightToLeftReading = 0x20;
inline constexpr int kControlRightAligned = 0x40;
inline constexpr int kControlLeftScroll = 0x80;
// Type-specific bits.
inline constexpr int kTextTransparent = 0x10000;
inline constexpr int kTextNoPrefix = 0x20000;
inline constexpr int kTextNoWrap = 0x40000;
inline constexpr int kTextFormatSize = 0x80000;
inline constexpr int kTextUsersLanguage = 0x100000;
inline constexpr int kEditMultiline = 0x10000;
inline constexpr int kEditPassword = 0x200000;
inline constexpr int kListSorted = 0x10000;     // ComboBox, ListBox, ListView: keep table order
inline constexpr int kComboList = 0x20000;      // ComboBox: only the listed values
inline constexpr int kButtonImageHandle = 0x10000;
inline constexpr int kButtonPushLike = 0x20000;
inline constexpr int kButtonBitmap = 0x40000;
inline constexpr int kButtonIcon = 0x80000;
inline constexpr int kButtonFixedSize = 0x100000;
inline constexpr int kButtonIconSizeMask = 0x600000;  // 16, 32, 48 pixels: 0x200000 ...
inline constexpr int kButtonElevationShield = 0x800000;
inline constexpr int kRadioHasBorder = 0x1000000;
inline constexpr int kProgress95 = 0x10000;

enum class ControlType {
  Text, PushButton, CheckBox, RadioButtonGroup, Edit, MaskedEdit, PathEdit, ComboBox, ListBox,
  ListView, SelectionTree, DirectoryCombo, DirectoryList, VolumeCostList, VolumeSelectCombo,
  ScrollableText, Bitmap, Icon, Line, GroupBox, ProgressBar, Billboard, HyperLink,
  Unknown,  // a type this engine does not know: drawn as nothing, never takes input
};

// "PushButton" ... (the Control table's spelling); Unknown for anything else. Case-insensitive.
ControlType controlTypeFromName(std::string_view name);
std::string_view controlTypeName(ControlType type);

struct Rect {
  int x = 0, y = 0, width = 0, height = 0;
  bool operator==(const Rect&) const = default;
};

// One entry of a radio group, combo box, list box, list view, directory or volume list.
struct ListItem {
  std::string value;      // what choose() takes and the control's property receives
  std::string text;       // shown; formatted, style prefix parsed off
  std::string textStyle;  // TextStyle key from a `{\Style}` prefix, or ""
  Rect rect;              // radio buttons: position inside the group
  std::string help;       // tooltip
  std::string image;      // ListView: Binary table key of the icon
  // VolumeCostList: volume, disk size, available, required, difference (display texts).
  std::vector<std::string> columns;
};

// One feature shown by a SelectionTree, in display order (parents before children).
struct TreeItem {
  std::string feature;  // Feature key
  std::string title;
  std::string description;
  std::string directory;  // Feature.Directory_: the configurable folder, "" when none
  int depth = 0;          // 0 for a top-level feature
  bool expanded = false;  // an odd Display value
  InstallState state = InstallState::Absent;  // the request: Local, Source, Advertised, Absent
  bool allowAbsent = true;     // not UIDisallowAbsent
  bool allowAdvertise = true;  // not DisallowAdvertise
  bool allowLocal = true;      // a component of the feature may be installed locally (or it has none)
  bool allowSource = true;     // a component may run from the source (or it has none)
  bool hasChildren = false;    // listed features below it: the "entire feature" choices apply
};

struct Control {
  std::string name;
  ControlType type = ControlType::Unknown;
  std::string typeName;  // as the table writes it
  Rect rect;
  int attributes = 0;  // as authored
  bool visible = false;
  bool enabled = false;
  std::string propertyColumn;  // the Property column as authored
  std::string property;  // the property the control shows or edits (Indirect resolved); ""
  std::string text;      // formatted at creation or set by a published event
  std::string textStyle;
  std::string help;   // tooltip (the part of Help before "|")
  std::string next;   // Control_Next: the tab order
  std::string image;  // Bitmap, Icon, image buttons: the Binary table key

  // Live state, refreshed after every operation.
  std::string value;    // the property's value (Edit, PathEdit, ComboBox, radio group, lists)
  bool checked = false;      // CheckBox: the property is set
  std::string checkedValue;  // CheckBox: what the property becomes when checked
  int maxLength = 0;         // Edit: the `{n}` limit of the Text column; 0 when none
  std::string mask;          // MaskedEdit: the template (formatted)
  std::vector<ListItem> items;
  std::vector<TreeItem> tree;       // SelectionTree
  std::string highlightedFeature;   // SelectionTree: the feature the user last chose
  // Icon subscribed to SelectionIcon: the state of the highlighted feature, as the tree shows
  // it ("local", "source", "advertise", "absent"); "" when nothing is highlighted.
  std::string selectionIcon;
  int progress = 0;                 // ProgressBar: 0..100
  // ProgressBar: where the progress reports it follows (SetProgress) stand, in units of 512
  // ticks: done out of total, counting down when a reset asked for it.
  long long progressDone = 0, progressTotal = 100;
  bool progressBackwards = false;
  // VolumeCostList: the five columns (volume, disk size, available, required, difference),
  // their headers (UIText) and widths from the Text column; a width of 0 hides a column.
  std::vector<std::string> columnHeaders;
  std::vector<int> columnWidths;

  bool sunken() const { return (attributes & kControlSunken) != 0; }
  bool indirect() const { return (attributes & kControlIndirect) != 0; }
  bool integer() const { return (attributes & kControlInteger) != 0; }
  bool password() const { return type == ControlType::Edit && (attributes & kEditPassword) != 0; }
  bool multiline() const { return type == ControlType::Edit && (attributes & kEditMultiline) != 0; }
  bool comboListOnly() const { return type == ControlType::ComboBox && (attributes & kComboList) != 0; }
  // Controls the user can act on: set, choose, press, or the selection tree.
  bool takesInput() const;
};

struct Dialog {
  std::string name;
  std::string title;  // formatted
  int hCentering = 50, vCentering = 50;  // percent of the screen
  int width = 0, height = 0;             // installer units
  int attributes = 0;
  std::string firstControl;    // gets the focus first
  std::string defaultControl;  // Enter; a ControlCondition `Default` row may change it
  std::string cancelControl;   // Esc and the close box
  std::vector<Control> controls;  // Control table order

  bool modal() const { return (attributes & kDialogModal) != 0; }
  bool visible() const { return (attributes & kDialogVisible) != 0; }
  bool errorDialog() const { return (attributes & kDialogError) != 0; }
  const Control* find(std::string_view control) const;
  Control* find(std::string_view control);
};

struct TextStyle {
  std::string name;
  std::string faceName;
  int size = 0;                         // points
  std::optional<std::uint32_t> color;   // 0x00BBGGRR; none: the default colour
  int bits = 0;                         // 1 bold, 2 italic, 4 underline, 8 strike
  bool bold() const { return (bits & 1) != 0; }
  bool italic() const { return (bits & 2) != 0; }
  bool underline() const { return (bits & 4) != 0; }
  bool strike() const { return (bits & 8) != 0; }
};

// Splits leading `{\Style}` or `{&Style}` prefixes off a text; with several, the last one
// names the style. A brace group that is not such a prefix is left in the text.
struct StyledText {
  std::string style;
  std::string text;
};
StyledText splitTextStyle(std::string_view text);

}  // namespace msi::dialogs
