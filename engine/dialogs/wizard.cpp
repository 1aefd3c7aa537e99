// The Wizard and its dialog stack: dialogs appearing, replaced, spawned and closed, and the
// live state refreshed after every change.
#include "engine/dialogs/wizard.h"

#include <algorithm>

#include "engine/dialogs/control_model.h"
#include "engine/session/table_rows.h"
#include "engine/dialogs/selection_tree.h"
#include "engine/dialogs/wizard_impl.h"

namespace msi::dialogs {
namespace {

// Spawned dialogs deeper than this are refused: a package whose dialog spawns itself would
// otherwise grow the stack for as long as someone presses the button.
constexpr std::size_t kMaxDialogDepth = 32;

}  // namespace

void Wizard::Impl::loadStyles() {
  TableRows t(*session.database(), "TextStyle", {"TextStyle", "FaceName", "Size", "Color", "StyleBits"});
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
std::unique_ptr<DialogFrame> Wizard::Impl::makeFrame(std::string_view name, const std::string& missing) {
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
void Wizard::Impl::appear(DialogFrame& frame) {
  ++generation;
  frame.conditions.apply(session, frame.dialog);
  for (Control& c : frame.dialog.controls) {
    if (c.type != ControlType::SelectionTree) continue;
    if (c.tree.empty()) {
      frame.subscriptions.publish(session, frame.dialog, "SelectionNoItems", "");
      frame.subscriptions.publish(session, frame.dialog, "SelectionIcon", "");
    } else
      highlight(frame, c, c.tree.front().feature);
  }
  refreshAll();
  frame.snapshot = session.properties();
}

void Wizard::Impl::start(std::string_view name) {
  std::unique_ptr<DialogFrame> frame =
      makeFrame(name, "dialog `" + std::string(name) + "` is not in the Dialog table");
  if (!frame) return;
  const bool modal = frame->dialog.modal();
  stack.push_back(std::move(frame));
  appear(top());
  // A modeless dialog (a progress dialog) returns to the sequence at once.
  if (!modal) finish(ActionStatus::Success);
}

void Wizard::Impl::endTop() {
  stack.pop_back();
  ++generation;
  if (stack.empty()) {
    finish(ActionStatus::Success);
    return;
  }
  refreshAll();
}

void Wizard::Impl::changeDialogs(const DialogChange& change) {
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

void Wizard::Impl::refreshAll() {
  for (auto& frame : stack) {
    for (Control& c : frame->dialog.controls) refreshControl(session, c);
    frame->conditions.apply(session, frame->dialog);
  }
}

void Wizard::Impl::publishEverywhere(std::string_view event, std::string_view value) {
  for (auto& frame : stack) frame->subscriptions.publish(session, frame->dialog, event, value);
}

void Wizard::Impl::highlight(DialogFrame& frame, Control& tree, const std::string& feature) {
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
  const FeatureTree* features = session.featureTree();
  const FeatureChoice icon = features && features->find(feature) ? featureChoiceOf(session.featureRequestState(feature))
                                                                 : FeatureChoice::Absent;
  frame.subscriptions.publish(session, frame.dialog, "SelectionIcon", featureChoiceName(icon));
}

void Wizard::Impl::actionStarted(std::string_view, std::string_view description) {
  recordTicks = 0;
  publishEverywhere("ActionText", description);
  tellPublished();
}

void Wizard::Impl::actionData(std::string_view text) {
  publishEverywhere("ActionData", text);
  if (recordTicks) publishProgress(2, recordTicks, 0);
  tellPublished();
}

void Wizard::Impl::progress(int type, long long first, long long second) {
  publishProgress(type, first, second);
  tellPublished();
}

void Wizard::Impl::publishProgress(int type, long long first, long long second) {
  for (auto& frame : stack)
    if (const auto ticks = frame->subscriptions.publishProgress(frame->dialog, "SetProgress", type, first, second))
      recordTicks = *ticks;
}

void Wizard::Impl::tellPublished() {
  const std::vector<WizardObserver*> told = observers;
  for (WizardObserver* o : told)
    if (std::find(observers.begin(), observers.end(), o) != observers.end()) o->published(self);
}

Wizard::Wizard(Session& session, std::string_view dialog) : impl_(std::make_unique<Impl>(*this, session)) {
  session.addActionListener(*impl_);
  try {
    impl_->loadStyles();
    impl_->start(dialog);
  } catch (const Error& e) {
    impl_->fail("dialog `" + std::string(dialog) + "`: " + e.what());
  }
}

Wizard::~Wizard() {
  if (impl_->listening) impl_->session.removeActionListener(*impl_);
}

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
    const TableRows t(*impl_->session.database(), "Binary", {"Name", "Data"});
    const auto rows = t.rowsWhere(0, name);
    return rows.empty() ? Bytes{} : t.bytes(rows.front(), 1);
  } catch (const Error&) {
    return {};  // a broken stream shows as a missing picture
  }
}

void Wizard::addObserver(WizardObserver& observer) {
  if (std::find(impl_->observers.begin(), impl_->observers.end(), &observer) == impl_->observers.end())
    impl_->observers.push_back(&observer);
}

void Wizard::removeObserver(WizardObserver& observer) {
  std::erase(impl_->observers, &observer);
}

}  // namespace msi::dialogs
