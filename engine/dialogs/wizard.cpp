#include "engine/dialogs/wizard.h"

#include <algorithm>
#include <cctype>
#include <map>

#include "engine/dialogs/control_events.h"
#include "engine/dialogs/control_model.h"
#include "engine/dialogs/dialog_frame.h"
#include "engine/dialogs/directory_browse.h"
#include "engine/dialogs/package_table.h"
#include "engine/dialogs/selection_tree.h"

namespace msi::dialogs {
namespace {

// Spawned dialogs deeper than this are refused: a package whose dialog spawns itself would
// otherwise grow the stack for as long as someone presses the button.
constexpr std::size_t kMaxDialogDepth = 32;

std::size_t codePoints(std::string_view text) {
  return static_cast<std::size_t>(std::count_if(
      text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

bool allDigits(std::string_view text) {
  if (!text.empty() && text.front() == '-') text.remove_prefix(1);
  return !text.empty() &&
         std::all_of(text.begin(), text.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); });
}

bool absolutePath(std::string_view path) {
  const bool drive = path.size() >= 3 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':' &&
                     path[2] == '\\';
  const bool network = path.size() > 2 && path[0] == '\\' && path[1] == '\\';
  return drive || network;
}

const ListItem* findItem(const Control& c, std::string_view value) {
  for (const ListItem& item : c.items)
    if (item.value == value) return &item;
  return nullptr;
}

std::string itemList(const Control& c) {
  std::string out;
  for (const ListItem& item : c.items) {
    if (out.size() > 200) return out + ", ...";
    out += (out.empty() ? "" : ", ") + item.value;
  }
  return out.empty() ? "none" : out;
}

}  // namespace

std::string_view featureChoiceName(FeatureChoice choice) {
  switch (choice) {
    case FeatureChoice::Local: return "local";
    case FeatureChoice::Source: return "source";
    case FeatureChoice::Advertise: return "advertise";
    case FeatureChoice::Absent: return "absent";
  }
  return "local";
}

std::optional<FeatureChoice> parseFeatureChoice(std::string_view text) {
  for (FeatureChoice c : {FeatureChoice::Local, FeatureChoice::Source, FeatureChoice::Advertise, FeatureChoice::Absent})
    if (featureChoiceName(c) == text) return c;
  return std::nullopt;
}

struct Wizard::Impl final : EventTarget {
  Impl(Wizard& w, Session& s) : self(w), session(s) {}

  Wizard& self;
  Session& session;
  std::vector<std::unique_ptr<DialogFrame>> stack;
  bool finished = false;
  ActionStatus result = ActionStatus::NoAction;
  std::vector<WizardObserver*> observers;
  std::map<std::string, TextStyle, std::less<>> styles;
  std::size_t generation = 0;  // counts dialog changes, so that observers hear of them
  std::string eventSource;     // "dialog `X` control `Y`" while its events run

  // --- reporting ---
  void report(MessageKind kind, const std::string& text) { session.host().message(kind, text); }
  void warn(const std::string& text) override { report(MessageKind::Warning, eventSource + ": " + text); }
  void fail(const std::string& text) {
    report(MessageKind::Error, text);
    finish(ActionStatus::Failure);
  }
  void finish(ActionStatus status) {
    if (finished) return;
    finished = true;
    result = status;
  }

  DialogFrame& top() { return *stack.back(); }
  std::string where() const { return stack.empty() ? "wizard" : "dialog `" + stack.back()->dialog.name + "`"; }

  // --- dialogs appearing and going ---
  void loadStyles() {
    PackageTable t(*session.database(), "TextStyle", {"TextStyle", "FaceName", "Size", "Color", "StyleBits"});
    for (std::size_t r = 0; r < t.size(); ++r) {
      TextStyle style;
      style.name = t.text(r, 0);
      style.faceName = t.text(r, 1);
      style.size = t.integer(r, 2).value_or(0);
      if (const auto color = t.integer(r, 3)) style.color = static_cast<std::uint32_t>(*color);
      style.bits = t.integer(r, 4).value_or(0);
      styles[style.name] = std::move(style);
    }
  }

  // Loads a dialog to show; nullptr (and a Failure reported as `missing`) when the package
  // lacks it.
  std::unique_ptr<DialogFrame> makeFrame(std::string_view name, const std::string& missing) {
    std::optional<Dialog> dialog = loadDialog(session, name);
    if (!dialog) {
      fail(missing);
      return nullptr;
    }
    auto frame = std::make_unique<DialogFrame>();
    frame->dialog = std::move(*dialog);
    frame->conditions = ControlConditions::load(*session.database(), name);
    frame->subscriptions = Subscriptions::load(*session.database(), name);
    return frame;
  }

  // What happens as a dialog appears: its control conditions, the first feature of a
  // selection tree highlighted, and the properties remembered for Reset.
  void appear(DialogFrame& frame) {
    ++generation;
    frame.conditions.apply(session, frame.dialog);
    for (Control& c : frame.dialog.controls) {
      if (c.type != ControlType::SelectionTree) continue;
      if (c.tree.empty())
        frame.subscriptions.publish(session, frame.dialog, "SelectionNoItems", "");
      else
        highlight(frame, c, c.tree.front().feature);
    }
    refreshAll();
    frame.snapshot = session.properties();
  }

  void start(std::string_view name) {
    std::unique_ptr<DialogFrame> frame =
        makeFrame(name, "dialog `" + std::string(name) + "` is not in the Dialog table");
    if (!frame) return;
    const bool modal = frame->dialog.modal();
    stack.push_back(std::move(frame));
    appear(top());
    // A modeless dialog (a progress dialog) returns to the sequence at once.
    if (!modal) finish(ActionStatus::Success);
  }

  void endTop() {
    stack.pop_back();
    ++generation;
    if (stack.empty()) {
      finish(ActionStatus::Success);
      return;
    }
    refreshAll();
  }

  void changeDialogs(const DialogChange& change) {
    if (change.event == "EndDialog") {
      if (change.argument == "Return" || change.argument.starts_with("Error"))
        endTop();  // the error dialog's answers close it as Return does
      else if (change.argument == "Exit")
        finish(ActionStatus::UserExit);
      else if (change.argument == "Retry")
        finish(ActionStatus::Suspend);
      else if (change.argument == "Ignore")
        finish(ActionStatus::Finished);
      else
        fail(eventSource + ": EndDialog argument `" + change.argument +
             "` is not Return, Exit, Retry or Ignore");
      return;
    }
    const bool spawn = change.event != "NewDialog";
    if (spawn && stack.size() >= kMaxDialogDepth) {
      fail(eventSource + ": dialogs spawned more than " + std::to_string(kMaxDialogDepth) + " deep");
      return;
    }
    std::unique_ptr<DialogFrame> frame =
        makeFrame(change.argument, eventSource + ": " + change.event + " names dialog `" + change.argument +
                                       "`, which is not in the Dialog table");
    if (!frame) return;
    if (!frame->dialog.modal()) {
      // A modeless dialog does not wait for the user: reaching one ends the dialog it
      // replaces, and spawning one leaves the current dialog where it is.
      if (!spawn) endTop();
      return;
    }
    if (!spawn) stack.pop_back();
    stack.push_back(std::move(frame));
    appear(top());
  }

  // --- live state ---
  void refreshAll() {
    for (auto& frame : stack) {
      for (Control& c : frame->dialog.controls) refreshControl(session, c);
      frame->conditions.apply(session, frame->dialog);
    }
  }

  void publishEverywhere(std::string_view event, std::string_view value) {
    for (auto& frame : stack) frame->subscriptions.publish(session, frame->dialog, event, value);
  }

  void highlight(DialogFrame& frame, Control& tree, const std::string& feature) {
    tree.highlightedFeature = feature;
    const SelectionInfo info = describeSelection(session, feature);
    // The tree's property receives the highlighted feature's folder, which a browse dialog edits.
    if (!tree.property.empty()) {
      const FeatureTree* features = session.featureTree();
      const auto index = features ? features->find(feature) : std::nullopt;
      session.setProperty(tree.property, index ? features->entries()[*index].directory : std::string());
    }
    frame.subscriptions.publish(session, frame.dialog, "SelectionDescription", info.description);
    frame.subscriptions.publish(session, frame.dialog, "SelectionSize", info.size);
    frame.subscriptions.publish(session, frame.dialog, "SelectionPath", info.path);
    frame.subscriptions.publish(session, frame.dialog, "SelectionPathOn", info.pathOn ? "1" : "");
    frame.subscriptions.publish(session, frame.dialog, "SelectionAction", info.action);
  }

  // --- events (EventTarget) ---
  void setPropertyEvent(std::string_view property, std::optional<std::string> value) override {
    session.setProperty(property, value.value_or(std::string()));
  }

  bool runEvent(std::string_view event, std::string_view argument) override {
    if (event == "DoAction") {
      session.doAction(argument);
    } else if (event == "AddLocal") {
      featureEvent(argument, InstallState::Local);
    } else if (event == "AddSource") {
      featureEvent(argument, InstallState::Source);
    } else if (event == "Remove") {
      featureEvent(argument, InstallState::Absent);
    } else if (event == "Reinstall") {
      session.setProperty("REINSTALL", argument);
    } else if (event == "ReinstallMode") {
      session.setProperty("REINSTALLMODE", argument);
    } else if (event == "SetInstallLevel") {
      setInstallLevel(argument);
    } else if (event == "SetTargetPath") {
      return setTargetPath(argument);
    } else if (event == "CheckTargetPath" || event == "CheckExistingTargetPath") {
      const std::string path = session.property(argument);
      const std::string problem = path.empty() ? "property `" + std::string(argument) + "` holds no path"
                                               : pathProblem(session, path);
      if (!problem.empty()) {
        report(MessageKind::Error, eventSource + ": " + std::string(event) + ": " + problem);
        return false;
      }
    } else if (event == "Reset") {
      reset(top());
    } else if (event == "ValidateProductID") {
      session.doAction("ValidateProductID");
    } else if (event == "EnableRollback") {
      // Nothing is installed here, so there is nothing to roll back.
    } else if (event == "DirectoryListUp" || event == "DirectoryListNew" || event == "DirectoryListOpen") {
      directoryListEvent(event);
    } else {
      warn("event `" + std::string(event) + "` is not supported here; passed over");
    }
    return true;
  }

  void featureEvent(std::string_view argument, InstallState state) {
    const FeatureTree* features = session.featureTree();
    if (!features) {
      warn("features are loaded by CostInitialize, which has not run; `" + std::string(argument) + "` passed over");
      return;
    }
    const bool all = argument == "ALL";
    bool found = false;
    for (std::size_t i = 0; i < features->entries().size(); ++i) {
      const std::string name = features->entries()[i].name;
      if (!all && name != argument) continue;
      found = true;
      if (all && features->disabled(i)) continue;
      if (features->entries()[i].request != state) session.setProperty("Preselected", "1");
      try {
        session.setFeatureRequestState(name, state);
      } catch (const Error& e) {
        report(MessageKind::Error, eventSource + ": " + e.what());
      }
    }
    if (!found) warn("feature `" + std::string(argument) + "` is not in the Feature table");
  }

  void setInstallLevel(std::string_view argument) {
    long level = 0;
    std::size_t i = 0;
    const bool negative = !argument.empty() && argument[0] == '-';
    if (negative) ++i;
    for (; i < argument.size() && std::isdigit(static_cast<unsigned char>(argument[i])) && level < 100000; ++i)
      level = level * 10 + (argument[i] - '0');
    try {
      session.setInstallLevel(static_cast<int>(negative ? -level : level));
    } catch (const Error& e) {
      report(MessageKind::Error, eventSource + ": SetInstallLevel: " + e.what());
    }
  }

  bool setTargetPath(std::string_view directory) {
    const std::string path = session.property(directory);
    publishEverywhere("SelectionPath", path);
    if (path.empty()) return true;
    try {
      session.setTargetPath(directory, path);
    } catch (const Error& e) {
      // The installer shows the error and the dialog stays, its remaining events dropped.
      report(MessageKind::Error, eventSource + ": SetTargetPath: " + e.what());
      return false;
    }
    return true;
  }

  void reset(const DialogFrame& frame) {
    std::map<std::string, std::string, std::less<>> before(frame.snapshot.begin(), frame.snapshot.end());
    for (const auto& [name, value] : session.properties())
      if (!before.contains(name)) session.setProperty(name, "");
    for (const auto& [name, value] : before)
      if (session.property(name) != value) session.setProperty(name, value);
  }

  void directoryListEvent(std::string_view event) {
    const auto list = std::find_if(top().dialog.controls.begin(), top().dialog.controls.end(),
                                   [](const Control& c) { return c.type == ControlType::DirectoryList; });
    if (list == top().dialog.controls.end()) {
      warn("`" + std::string(event) + "` needs a DirectoryList on the dialog; passed over");
      return;
    }
    const std::string property = resolveProperty(session, *list);
    const std::string path = session.property(property);
    if (property.empty() || path.empty()) return;
    if (event == "DirectoryListUp")
      session.setProperty(property, parentFolder(path));
    else if (event == "DirectoryListNew")
      session.setProperty(property, childFolder(path, newFolderName(session, path)));
    // DirectoryListOpen opens the highlighted folder; choosing a folder here opens it already.
  }

  // Runs the control events of `control` on the top dialog, then changes dialogs.
  void activate(const std::string& control) {
    eventSource = "dialog `" + top().dialog.name + "` control `" + control + "`";
    const auto rows = loadControlEvents(*session.database(), top().dialog.name, control);
    const std::optional<DialogChange> change = publishControlEvents(session, rows, *this);
    if (change && !finished) changeDialogs(*change);
  }

  // --- operations ---
  Control& inputControl(std::string_view name, std::string_view verb) {
    if (finished)
      throw OperationError("the dialogs have ended; nothing to " + std::string(verb) + " `" + std::string(name) + "`");
    Control* c = top().dialog.find(name);
    if (!c) throw OperationError(where() + ": no control `" + std::string(name) + "`");
    if (!c->takesInput()) wrongType(*c, verb);
    if (!c->visible) throw OperationError(where() + ": control `" + c->name + "` is hidden");
    if (!c->enabled) throw OperationError(where() + ": control `" + c->name + "` is disabled");
    return *c;
  }

  [[noreturn]] void wrongType(const Control& c, std::string_view verb) {
    throw OperationError(where() + ": control `" + c.name + "` is a " + c.typeName + ", which `" +
                         std::string(verb) + "` does not apply to");
  }

  // Carries out an accepted operation and tells the observers. An engine error on the way
  // (an unreadable table) ends the wizard with Failure.
  template <typename F>
  void perform(const WalkStep& step, F&& body) {
    const std::string dialog = top().dialog.name;
    const std::size_t before = generation;
    try {
      body();
      if (!finished) refreshAll();
    } catch (const Error& e) {
      fail(where() + ": " + e.what());
    }
    for (WizardObserver* o : observers) o->operation(self, dialog, step);
    if (generation != before)
      for (WizardObserver* o : observers) o->dialogChanged(self);
    if (finished)
      for (WizardObserver* o : observers) o->finished(self);
  }
};

Wizard::Wizard(Session& session, std::string_view dialog) : impl_(std::make_unique<Impl>(*this, session)) {
  try {
    impl_->loadStyles();
    impl_->start(dialog);
  } catch (const Error& e) {
    impl_->fail("dialog `" + std::string(dialog) + "`: " + e.what());
  }
}

Wizard::~Wizard() = default;

Session& Wizard::session() const { return impl_->session; }
bool Wizard::finished() const { return impl_->finished; }
ActionStatus Wizard::result() const { return impl_->result; }

std::vector<const Dialog*> Wizard::dialogs() const {
  std::vector<const Dialog*> out;
  for (const auto& frame : impl_->stack) out.push_back(&frame->dialog);
  return out;
}

const Dialog& Wizard::active() const {
  if (impl_->stack.empty()) throw OperationError("no dialog is shown");
  return impl_->stack.back()->dialog;
}

const TextStyle* Wizard::textStyle(std::string_view name) const {
  const auto it = impl_->styles.find(name);
  return it == impl_->styles.end() ? nullptr : &it->second;
}

std::string Wizard::defaultTextStyle() const { return impl_->session.property("DefaultUIFont"); }

Bytes Wizard::binary(std::string_view name) const {
  try {
    Database& db = *impl_->session.database();
    if (!db.hasTable("Binary")) return {};
    Table& table = db.table("Binary");
    const auto data = table.schema().indexOf("Data");
    const auto row = table.find(Row{Value(name)});
    if (!data || !row) return {};
    const Value& cell = table.row(*row)[*data];
    return cell.isBlob() ? cell.asBlob().bytes() : Bytes{};
  } catch (const Error&) {
    return {};  // a broken stream shows as a missing picture
  }
}

void Wizard::setValue(std::string_view control, std::string_view text) {
  Impl& w = *impl_;
  Control& c = w.inputControl(control, "set");
  switch (c.type) {
    case ControlType::Edit:
      if (c.integer() && !text.empty() && !allDigits(text))
        throw OperationError(w.where() + ": control `" + c.name + "` takes a whole number, not `" + std::string(text) + "`");
      if (c.maxLength > 0 && codePoints(text) > static_cast<std::size_t>(c.maxLength))
        throw OperationError(w.where() + ": control `" + c.name + "` takes at most " + std::to_string(c.maxLength) +
                             " characters");
      break;
    case ControlType::MaskedEdit:
      break;
    case ControlType::PathEdit:
      if (!absolutePath(text))
        throw OperationError(w.where() + ": control `" + c.name + "` takes an absolute path, not `" +
                             std::string(text) + "`");
      break;
    case ControlType::ComboBox:
      if (c.comboListOnly() && !findItem(c, text))
        throw OperationError(w.where() + ": control `" + c.name + "` has no item `" + std::string(text) +
                             "` (items: " + itemList(c) + ")");
      break;
    default:
      w.wrongType(c, "set");
  }
  if (c.property.empty()) throw OperationError(w.where() + ": control `" + c.name + "` has no property to set");
  const std::string property = c.property;
  w.perform(WalkStep{WalkStep::Kind::Set, c.name, std::string(text)}, [&] { w.session.setProperty(property, text); });
}

void Wizard::setChecked(std::string_view control, bool checked) {
  Impl& w = *impl_;
  Control& c = w.inputControl(control, "set");
  if (c.type != ControlType::CheckBox) w.wrongType(c, "set on|off");
  if (c.property.empty()) throw OperationError(w.where() + ": control `" + c.name + "` has no property to set");
  const std::string name = c.name, property = c.property, value = c.checkedValue;
  const bool change = c.checked != checked;
  w.perform(WalkStep{WalkStep::Kind::Set, name, checked ? "on" : "off"}, [&] {
    if (!change) return;
    w.session.setProperty(property, checked ? value : std::string());
    // A check box publishes its events when the user changes it.
    w.activate(name);
  });
}

void Wizard::choose(std::string_view control, std::string_view value) {
  Impl& w = *impl_;
  Control& c = w.inputControl(control, "choose");
  const std::string name = c.name, property = c.property, item(value);
  const WalkStep step{WalkStep::Kind::Choose, name, item};
  switch (c.type) {
    case ControlType::RadioButtonGroup:
    case ControlType::ComboBox:
    case ControlType::ListBox:
    case ControlType::ListView:
    case ControlType::DirectoryCombo:
    case ControlType::VolumeSelectCombo:
      if (!findItem(c, value))
        throw OperationError(w.where() + ": control `" + name + "` has no item `" + item + "` (items: " + itemList(c) + ")");
      if (property.empty()) throw OperationError(w.where() + ": control `" + name + "` has no property to set");
      w.perform(step, [&] { w.session.setProperty(property, item); });
      return;
    case ControlType::DirectoryList: {
      if (!findItem(c, value))
        throw OperationError(w.where() + ": folder `" + c.value + "` has no subfolder `" + item + "` (subfolders: " +
                             itemList(c) + ")");
      const std::string path = childFolder(c.value, item);
      w.perform(step, [&] { w.session.setProperty(property, path); });
      return;
    }
    case ControlType::SelectionTree: {
      const bool listed = std::any_of(c.tree.begin(), c.tree.end(), [&](const TreeItem& t) { return t.feature == value; });
      if (!listed)
        throw OperationError(w.where() + ": the selection tree `" + name + "` does not list feature `" + item + "`");
      DialogFrame& frame = w.top();
      w.perform(step, [&] {
        if (Control* tree = frame.dialog.find(name)) w.highlight(frame, *tree, item);
      });
      return;
    }
    default:
      w.wrongType(c, "choose");
  }
}

void Wizard::setFeatureState(std::string_view feature, FeatureChoice state) {
  Impl& w = *impl_;
  if (w.finished) throw OperationError("the dialogs have ended; no feature `" + std::string(feature) + "` to set");
  DialogFrame& frame = w.top();
  const Control* tree = nullptr;
  for (const Control& c : frame.dialog.controls)
    if (c.type == ControlType::SelectionTree && c.visible && c.enabled) {
      tree = &c;
      if (std::any_of(c.tree.begin(), c.tree.end(), [&](const TreeItem& t) { return t.feature == feature; })) break;
    }
  if (!tree) throw OperationError(w.where() + ": no selection tree to set feature `" + std::string(feature) + "` in");
  chooseFeatureState(w.session, *tree, feature, state, w.where());  // validates first; throws before any change
  const std::string treeName = tree->name, name(feature);
  w.perform(WalkStep{WalkStep::Kind::Feature, name, std::string(featureChoiceName(state))}, [&] {
    w.refreshAll();
    if (Control* c = frame.dialog.find(treeName)) w.highlight(frame, *c, name);
  });
}

void Wizard::press(std::string_view control) {
  Impl& w = *impl_;
  Control& c = w.inputControl(control, "press");
  if (c.type != ControlType::PushButton) w.wrongType(c, "press");
  const std::string name = c.name;
  w.perform(WalkStep{WalkStep::Kind::Press, name, {}}, [&] { w.activate(name); });
}

bool Wizard::cancel() {
  Impl& w = *impl_;
  if (w.finished) return false;
  const Control* c = w.top().dialog.find(w.top().dialog.cancelControl);
  if (!c || !c->visible || !c->enabled || c->type != ControlType::PushButton) return false;
  press(c->name);
  return true;
}

bool Wizard::pressDefault() {
  Impl& w = *impl_;
  if (w.finished) return false;
  const Control* c = w.top().dialog.find(w.top().dialog.defaultControl);
  if (!c || !c->visible || !c->enabled || c->type != ControlType::PushButton) return false;
  press(c->name);
  return true;
}

void Wizard::addObserver(WizardObserver& observer) {
  if (std::find(impl_->observers.begin(), impl_->observers.end(), &observer) == impl_->observers.end())
    impl_->observers.push_back(&observer);
}

void Wizard::removeObserver(WizardObserver& observer) {
  std::erase(impl_->observers, &observer);
}

}  // namespace msi::dialogs
