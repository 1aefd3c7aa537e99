// The user's operations on the active dialog, as a host or the walk player makes them.
#include <algorithm>

#include "engine/dialogs/directory_browse.h"
#include "engine/dialogs/selection_tree.h"
#include "engine/dialogs/wizard_impl.h"

namespace msi::dialogs {

std::string_view featureChoiceName(FeatureChoice choice) {
  switch (choice) {
    case FeatureChoice::Local: return "local";
    case FeatureChoice::Source: return "source";
    case FeatureChoice::Advertise: return "advertise";
    case FeatureChoice::Absent: return "absent";
    case FeatureChoice::AllLocal: return "all-local";
    case FeatureChoice::AllSource: return "all-source";
  }
  return "local";
}

FeatureChoice featureChoiceOf(InstallState state) {
  switch (state) {
    case InstallState::Local: return FeatureChoice::Local;
    case InstallState::Source: return FeatureChoice::Source;
    case InstallState::Advertised: return FeatureChoice::Advertise;
    default: return FeatureChoice::Absent;
  }
}

std::optional<FeatureChoice> parseFeatureChoice(std::string_view text) {
  for (FeatureChoice c : {FeatureChoice::Local, FeatureChoice::Source, FeatureChoice::Advertise, FeatureChoice::Absent,
                          FeatureChoice::AllLocal, FeatureChoice::AllSource})
    if (featureChoiceName(c) == text) return c;
  return std::nullopt;
}

// Carries out an accepted operation and tells the observers. An engine error on the way
// (an unreadable table) ends the wizard with Failure.
template <typename F>
void Wizard::Impl::perform(const WalkStep& step, F&& body) {
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

void Wizard::setValue(std::string_view control, std::string_view text) {
  Impl& w = *impl_;
  const Control& c = w.inputControl(control, "set");
  w.checkTypedValue(c, text);
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
  const Control& c = w.inputControl(control, "choose");
  w.checkChoice(c, value);
  const std::string name = c.name, property = c.property, item(value);
  const WalkStep step{WalkStep::Kind::Choose, name, item};
  if (c.type == ControlType::DirectoryList) {
    const std::string path = childFolder(c.value, item);
    w.perform(step, [&] { w.session.setProperty(property, path); });
  } else if (c.type == ControlType::SelectionTree) {
    DialogFrame& frame = w.top();
    w.perform(step, [&] {
      if (Control* tree = frame.dialog.find(name)) w.highlight(frame, *tree, item);
    });
  } else {
    w.perform(step, [&] { w.session.setProperty(property, item); });
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
    // The tree publishes its control events when the user changes a feature (a package sets
    // a property such as FEATURE_SELECTED there, which its control conditions read).
    w.activate(treeName);
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

}  // namespace msi::dialogs
