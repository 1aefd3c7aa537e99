// The widget families of a dialog view. Each family makes the widget of its control types and
// brings it up to date from the control's live state; the view keeps the widgets and calls
// them. Input on a widget goes out through the context's sink as a UserInput.
#pragma once

#include <functional>
#include <string>

#include <QLineEdit>
#include <QPixmap>
#include <QString>
#include <QWidget>

#include "engine/db/value.h"
#include "engine/dialogs/dialog_model.h"
#include "engine/dialogs/wizard.h"
#include "engine/qt/user_input.h"

namespace msi::qt {

// What every family needs from its view.
struct WidgetContext {
  const dialogs::Wizard& wizard;
  std::function<void(const UserInput&)> send;
};

struct WidgetFamily {
  QWidget* (*create)(const dialogs::Control& control, QWidget* parent, const WidgetContext& context);
  void (*refresh)(const dialogs::Control& control, QWidget* widget, const WidgetContext& context);
};

// The family of a control type; nullptr for a type that has no widget.
const WidgetFamily* widgetFamily(dialogs::ControlType type);

// The families, one per file.
extern const WidgetFamily kTextFamily;           // Text, HyperLink, GroupBox, Line, ProgressBar, Billboard
extern const WidgetFamily kPictureFamily;        // Bitmap, Icon
extern const WidgetFamily kButtonFamily;         // PushButton, CheckBox, RadioButtonGroup
extern const WidgetFamily kEditFamily;           // Edit, PathEdit, MaskedEdit, ScrollableText
extern const WidgetFamily kListFamily;           // combo boxes, lists, VolumeCostList
extern const WidgetFamily kSelectionTreeFamily;  // SelectionTree

// Shared by the families.
// Where a widget keeps the property value it last showed, to tell typing from refreshes.
inline constexpr const char* kShownValue = "fennickShownValue";
inline QString qs(const std::string& s) { return QString::fromStdString(s); }
UserInput makeInput(UserInput::Kind kind, const std::string& control);
// The control's text style, or the dialog's default one; nullptr when neither exists.
const dialogs::TextStyle* styleOf(const dialogs::Control& control, const dialogs::Wizard& wizard);
void applyStyle(QWidget* w, const dialogs::TextStyle* style);
// Where a masked edit keeps its template.
inline constexpr const char* kMaskTemplate = "fennickMask";
// What the user typed into an edit: its text, or nothing for a masked edit with no place typed.
QString typedText(const QLineEdit& edit);
// A picture from the Binary table; a null pixmap when missing or undecodable.
QPixmap decodeImage(const Bytes& data);

}  // namespace msi::qt
