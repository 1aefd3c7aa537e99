// The guards of a wizard's input: an operation the package's dialog would not take is
// refused with OperationError before anything changes.
#include <algorithm>
#include <cctype>

#include "engine/dialogs/mask_template.h"
#include "engine/dialogs/wizard_impl.h"

namespace msi::dialogs {
namespace {

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

Control& Wizard::Impl::inputControl(std::string_view name, std::string_view verb) {
  if (finished)
    throw OperationError("the dialogs have ended; nothing to " + std::string(verb) + " `" + std::string(name) + "`");
  Control* c = top().dialog.find(name);
  if (!c) throw OperationError(where() + ": no control `" + std::string(name) + "`");
  if (!c->takesInput()) wrongType(*c, verb);
  if (!c->visible) throw OperationError(where() + ": control `" + c->name + "` is hidden");
  if (!c->enabled) throw OperationError(where() + ": control `" + c->name + "` is disabled");
  return *c;
}

void Wizard::Impl::wrongType(const Control& c, std::string_view verb) {
  throw OperationError(where() + ": control `" + c.name + "` is a " + c.typeName + ", which `" +
                       std::string(verb) + "` does not apply to");
}

void Wizard::Impl::checkTypedValue(const Control& c, std::string_view text) {
  switch (c.type) {
    case ControlType::Edit:
      if (c.integer() && !text.empty() && !allDigits(text))
        throw OperationError(where() + ": control `" + c.name + "` takes a whole number, not `" + std::string(text) + "`");
      if (c.maxLength > 0 && codePoints(text) > static_cast<std::size_t>(c.maxLength))
        throw OperationError(where() + ": control `" + c.name + "` takes at most " + std::to_string(c.maxLength) +
                             " characters");
      break;
    case ControlType::MaskedEdit: {
      const MaskTemplate mask = MaskTemplate::parse(c.mask);
      if (!text.empty() && !mask.empty() && !mask.accepts(text))
        throw OperationError(where() + ": control `" + c.name + "` takes a value of the form `" + mask.pattern() +
                             "` (# a digit, A a letter), not `" + std::string(text) + "`");
      break;
    }
    case ControlType::PathEdit:
      if (!absolutePath(text))
        throw OperationError(where() + ": control `" + c.name + "` takes an absolute path, not `" +
                             std::string(text) + "`");
      break;
    case ControlType::ComboBox:
      if (c.comboListOnly() && !findItem(c, text))
        throw OperationError(where() + ": control `" + c.name + "` has no item `" + std::string(text) +
                             "` (items: " + itemList(c) + ")");
      break;
    default:
      wrongType(c, "set");
  }
  if (c.property.empty()) throw OperationError(where() + ": control `" + c.name + "` has no property to set");
}

void Wizard::Impl::checkChoice(const Control& c, std::string_view value) {
  const std::string item(value);
  switch (c.type) {
    case ControlType::RadioButtonGroup:
    case ControlType::ComboBox:
    case ControlType::ListBox:
    case ControlType::ListView:
    case ControlType::DirectoryCombo:
    case ControlType::VolumeSelectCombo:
      if (!findItem(c, value))
        throw OperationError(where() + ": control `" + c.name + "` has no item `" + item + "` (items: " + itemList(c) + ")");
      if (c.property.empty()) throw OperationError(where() + ": control `" + c.name + "` has no property to set");
      return;
    case ControlType::DirectoryList:
      if (!findItem(c, value))
        throw OperationError(where() + ": folder `" + c.value + "` has no subfolder `" + item + "` (subfolders: " +
                             itemList(c) + ")");
      return;
    case ControlType::SelectionTree:
      if (std::none_of(c.tree.begin(), c.tree.end(), [&](const TreeItem& t) { return t.feature == value; }))
        throw OperationError(where() + ": the selection tree `" + c.name + "` does not list feature `" + item + "`");
      return;
    default:
      wrongType(c, "choose");
  }
}

}  // namespace msi::dialogs
