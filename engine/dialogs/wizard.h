// The dialog engine: runs a package's own dialogs, as a dialog action does, without any
// toolkit. A Wizard owns the state of the dialogs on screen (the stack of modal dialogs, their
// controls, visibility, list items, the selection tree); property values and feature states
// live in the session. A host renders that state and turns the user's input into the
// operations below; it never changes properties itself.
//
// Behaviour, as the installer's documentation describes it and Wine's implementation shows:
// - A wizard starts with one dialog. NewDialog replaces the dialog on top; SpawnDialog puts a
//   modal child on top of it; EndDialog Return closes the top dialog (the wizard ends with
//   Success when it was the first one, otherwise the parent refreshes); EndDialog Exit ends
//   the whole wizard with UserExit, Retry with Suspend, Ignore with Finished. A dialog
//   without the Modal attribute returns at once: starting the wizard on one, or NewDialog to
//   one, ends the wizard with Success (progress dialogs).
// - Pressing a push button (or changing a check box that publishes events) runs its
//   ControlEvent rows in Ordering order, each when its Condition is true at that moment.
//   A row with a blank Condition runs only when no other row of the control was true (the
//   one with the largest Ordering, when several are blank). `[PROP]` rows set a property
//   (`{}`: unset it), DoAction runs an action, AddLocal / AddSource / Remove set feature
//   requests (a feature or ALL, setting Preselected), SetInstallLevel, SetTargetPath,
//   CheckTargetPath and CheckExistingTargetPath (an invalid path stops the remaining rows),
//   Reset (undo the property changes made since the dialog appeared), ValidateProductID,
//   Reinstall, ReinstallMode, DirectoryListUp / New / Open, SpawnWaitDialog (nothing is
//   pending here, so it never waits). NewDialog, SpawnDialog, SelectionBrowse and EndDialog
//   change dialogs only after every other row ran, and only the last of them counts.
// - ControlCondition rows (Hide, Show, Disable, Enable, Default) are applied in table order
//   when a dialog appears and after every operation.
// - Events the installer publishes while an action runs (the session's ActionListener), for
//   as long as the wizard exists, modeless dialogs included: ActionText (the action's
//   description), ActionData (each record it reports) and SetProgress (its progress reports;
//   a report giving the ticks per record moves subscribed progress bars with each ActionData).
// - EventMapping subscriptions: a SelectionTree publishes SelectionDescription, SelectionSize,
//   SelectionPath, SelectionPathOn, SelectionAction and SelectionNoItems when its highlight
//   moves; SetTargetPath publishes SelectionPath. Subscribed attributes Text, Visible and
//   Enabled change accordingly (Progress for progress bars).
// - Control texts are formatted when the dialog appears; values follow the properties.
// Errors of the package (a missing dialog, an unreadable table) are reported to the session's
// host and end the wizard with Failure; they do not throw. Errors the installer would show in
// the package's error dialog (a target path it refuses) go to the host as messages and leave
// the dialog where it is.
#pragma once

#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "engine/db/value.h"
#include "engine/dialogs/dialog_model.h"
#include "engine/dialogs/walk.h"
#include "engine/session/session.h"

namespace msi::dialogs {

class Wizard;

// An operation the wizard refuses: no such control, a hidden or disabled one, a value the
// control cannot take. Nothing changed. The message names the dialog, the control and the
// cause ("dialog `InstallDirDlg`: control `Next` is disabled").
class OperationError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A state chosen in a selection tree (the walk's `feature NAME STATE`). The "entire feature" choices give the state to the
// feature and to every feature below it.
enum class FeatureChoice { Local, Source, Advertise, Absent, AllLocal, AllSource };
// "local", "source", "advertise", "absent", "all-local", "all-source"; parse returns nullopt
// for anything else.
std::string_view featureChoiceName(FeatureChoice choice);
std::optional<FeatureChoice> parseFeatureChoice(std::string_view text);
// The choice that leaves a feature in `state` (absent for any state the tree does not offer).
FeatureChoice featureChoiceOf(InstallState state);

// Told about what happens in a wizard (the walk recorder, renderers).
class WizardObserver {
 public:
  virtual ~WizardObserver() = default;
  // An operation the wizard accepted, made on `dialog` (the active dialog at that moment), in
  // the form a walk file writes it. Called after the operation took effect.
  virtual void operation(const Wizard& wizard, std::string_view dialog, const WalkStep& step) {}
  // The active dialog is another one (NewDialog, SpawnDialog, a child closed).
  virtual void dialogChanged(const Wizard& wizard) {}
  // The wizard ended; result() tells how.
  virtual void finished(const Wizard& wizard) {}
  // Events the installer published while an action ran changed the dialogs' controls (texts,
  // progress); the wizard may have finished already (a modeless dialog stays on screen).
  virtual void published(const Wizard& wizard) {}
};

class Wizard {
 public:
  // Shows `dialog` of the session's package. A dialog that is not modal returns at once
  // (finished() with Success); a dialog the package lacks, or whose tables cannot be read,
  // ends it with Failure, reported to the session's host.
  Wizard(Session& session, std::string_view dialog);
  // A wizard may outlive its session (a modeless dialog still drawn): only its dialogs remain.
  ~Wizard();
  Wizard(const Wizard&) = delete;
  Wizard& operator=(const Wizard&) = delete;

  Session& session() const;

  // --- state ---
  bool finished() const;
  // Success, UserExit, Suspend, Finished or Failure once finished; NoAction before.
  ActionStatus result() const;
  // The dialogs on screen, the first one at the bottom; the last takes the input. Once
  // finished, what was on screen as it ended (a modeless dialog the wizard started on stays
  // there, for a renderer to show), or nothing when the last dialog returned.
  std::vector<const Dialog*> dialogs() const;
  // The top of dialogs(). Throws OperationError when there is none.
  const Dialog& active() const;
  // The TextStyle rows, and the style of texts without a prefix (DefaultUIFont).
  const TextStyle* textStyle(std::string_view name) const;
  std::string defaultTextStyle() const;
  // The content of a Binary table row (bitmaps, icons); empty when the row is missing.
  Bytes binary(std::string_view name) const;

  // --- operations on the active dialog (throw OperationError when refused) ---
  // Edit, MaskedEdit, PathEdit, ComboBox (typed text): the text becomes the property's value.
  // Refused: more characters than an edit's `{n}` limit, anything but a whole number in an
  // Integer edit, a PathEdit value that is not an absolute path, a value a ComboList does not
  // hold. A MaskedEdit value is taken as typed; its template is the renderer's to apply.
  void setValue(std::string_view control, std::string_view text);
  // CheckBox: checked sets the property to the box's value, unchecked removes it; a change
  // runs the box's control events.
  void setChecked(std::string_view control, bool checked);
  // RadioButtonGroup, ComboBox, ListBox, ListView, DirectoryCombo, VolumeSelectCombo: the item
  // with this value; DirectoryList: the subfolder with this name (the path goes into it);
  // SelectionTree: highlights the feature with this key.
  void choose(std::string_view control, std::string_view value);
  // The selection tree of the active dialog: a feature's request (local: the feature; absent:
  // the feature and those below it; all-local, all-source: the feature and those below it).
  // The feature is highlighted too, and the tree's control events run.
  void setFeatureState(std::string_view feature, FeatureChoice state);
  // PushButton: runs its control events.
  void press(std::string_view control);
  // Esc or the close box: presses the dialog's Control_Cancel. False when it has none that
  // is visible and enabled (nothing happens then).
  bool cancel();
  // Enter: presses the default push button. False when there is none usable.
  bool pressDefault();

  void addObserver(WizardObserver& observer);
  void removeObserver(WizardObserver& observer);

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace msi::dialogs
