// The widgets of one dialog: a child widget per control at its scaled rectangle, drawn from
// the Dialog the wizard keeps and brought up to date from it after each operation. Each
// control type's widget is made by its family (control_widgets.h). Input on a widget is
// handed to a sink as a UserInput; without a sink the view only draws (pictures).
// Every widget is named after its control (objectName), radio buttons and the selection
// tree's state boxes after their value or feature, so a test or a tool can find them.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include <QWidget>

#include "engine/dialogs/dialog_model.h"
#include "engine/dialogs/wizard.h"
#include "engine/qt/control_widgets.h"
#include "engine/qt/user_input.h"

namespace msi::qt {

class DialogView : public QWidget {
 public:
  using Sink = std::function<void(const UserInput&)>;

  // Builds the widgets of `dialog` (one of `wizard`'s), which supplies text styles and images.
  DialogView(const dialogs::Wizard& wizard, const dialogs::Dialog& dialog, Sink sink, QWidget* parent = nullptr);

  // Takes the live state of the same dialog again: texts, values, items, visibility, enabled.
  void update(const dialogs::Dialog& dialog);

  // Edits whose text differs from their property's value: what a press must apply first.
  std::vector<UserInput> pendingEdits(const dialogs::Dialog& dialog) const;

  // The view stops passing input on (it is about to go; focus leaving its edits is not input).
  void retire() { live_ = false; }

  // The widget of a control; nullptr when the control has none (an unknown type).
  QWidget* widget(const std::string& control) const;

  // Gives the focus to the first control of the tab order (the dialog's first control, then
  // along each control's next one) that is shown, enabled and takes the focus, as a dialog
  // does when it opens. Returns the widget that has it, nullptr when none can.
  QWidget* focusFirst();

 private:
  void refresh(const dialogs::Control& control, QWidget* widget);
  // Qt's tab order from the Control_Next chain (tabChain_).
  void followTabOrder(const dialogs::Dialog& dialog);
  void send(const UserInput& input);

  const dialogs::Wizard& wizard_;
  Sink sink_;
  bool live_ = true;
  std::map<std::string, QWidget*> widgets_;
  std::vector<QWidget*> tabChain_;  // the widgets that take the focus, in tab order
  WidgetContext context_;
};

}  // namespace msi::qt
