#include <algorithm>
#include <array>
#include <cctype>

#include "engine/dialogs/control_model.h"
#include "engine/dialogs/dialog_frame.h"
#include "engine/session/table_rows.h"

namespace msi::dialogs {
namespace {

struct TypeName {
  ControlType type;
  std::string_view name;
};

constexpr std::array<TypeName, 23> kTypeNames{{
    {ControlType::Text, "Text"},
    {ControlType::PushButton, "PushButton"},
    {ControlType::CheckBox, "CheckBox"},
    {ControlType::RadioButtonGroup, "RadioButtonGroup"},
    {ControlType::Edit, "Edit"},
    {ControlType::MaskedEdit, "MaskedEdit"},
    {ControlType::PathEdit, "PathEdit"},
    {ControlType::ComboBox, "ComboBox"},
    {ControlType::ListBox, "ListBox"},
    {ControlType::ListView, "ListView"},
    {ControlType::SelectionTree, "SelectionTree"},
    {ControlType::DirectoryCombo, "DirectoryCombo"},
    {ControlType::DirectoryList, "DirectoryList"},
    {ControlType::VolumeCostList, "VolumeCostList"},
    {ControlType::VolumeSelectCombo, "VolumeSelectCombo"},
    {ControlType::ScrollableText, "ScrollableText"},
    {ControlType::Bitmap, "Bitmap"},
    {ControlType::Icon, "Icon"},
    {ControlType::Line, "Line"},
    {ControlType::GroupBox, "GroupBox"},
    {ControlType::ProgressBar, "ProgressBar"},
    {ControlType::Billboard, "Billboard"},
    {ControlType::HyperLink, "HyperLink"},
}};

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

}  // namespace

ControlType controlTypeFromName(std::string_view name) {
  for (const TypeName& t : kTypeNames)
    if (equalsIgnoringCase(t.name, name)) return t.type;
  return ControlType::Unknown;
}

std::string_view controlTypeName(ControlType type) {
  for (const TypeName& t : kTypeNames)
    if (t.type == type) return t.name;
  return "Unknown";
}

bool Control::takesInput() const {
  switch (type) {
    case ControlType::PushButton:
    case ControlType::CheckBox:
    case ControlType::RadioButtonGroup:
    case ControlType::Edit:
    case ControlType::MaskedEdit:
    case ControlType::PathEdit:
    case ControlType::ComboBox:
    case ControlType::ListBox:
    case ControlType::ListView:
    case ControlType::SelectionTree:
    case ControlType::DirectoryCombo:
    case ControlType::DirectoryList:
    case ControlType::VolumeSelectCombo:
      return true;
    default:
      return false;
  }
}

const Control* Dialog::find(std::string_view control) const {
  for (const Control& c : controls)
    if (c.name == control) return &c;
  return nullptr;
}

Control* Dialog::find(std::string_view control) {
  for (Control& c : controls)
    if (c.name == control) return &c;
  return nullptr;
}

std::optional<Dialog> loadDialog(Session& session, std::string_view name) {
  Database& db = *session.database();
  TableRows dialogs(db, "Dialog", {"Dialog", "HCentering", "VCentering", "Width", "Height", "Attributes",
                                      "Title", "Control_First", "Control_Default", "Control_Cancel"});
  const auto rows = dialogs.rowsWhere(0, name);
  if (rows.empty()) return std::nullopt;
  const std::size_t r = rows.front();
  Dialog d;
  d.name = std::string(name);
  d.hCentering = dialogs.integer(r, 1).value_or(50);
  d.vCentering = dialogs.integer(r, 2).value_or(50);
  d.width = dialogs.integer(r, 3).value_or(0);
  d.height = dialogs.integer(r, 4).value_or(0);
  d.attributes = dialogs.integer(r, 5).value_or(0);
  d.title = session.formatText(dialogs.text(r, 6));
  d.firstControl = dialogs.text(r, 7);
  d.defaultControl = dialogs.text(r, 8);
  d.cancelControl = dialogs.text(r, 9);

  TableRows controls(db, "Control", {"Dialog_", "Control", "Type", "X", "Y", "Width", "Height", "Attributes",
                                        "Property", "Text", "Control_Next", "Help"});
  for (std::size_t c : controls.rowsWhere(0, name)) {
    ControlRow row;
    row.name = controls.text(c, 1);
    row.type = controls.text(c, 2);
    row.rect = Rect{controls.integer(c, 3).value_or(0), controls.integer(c, 4).value_or(0),
                    controls.integer(c, 5).value_or(0), controls.integer(c, 6).value_or(0)};
    row.attributes = controls.integer(c, 7).value_or(0);
    row.property = controls.text(c, 8);
    row.text = controls.text(c, 9);
    row.next = controls.text(c, 10);
    row.help = controls.text(c, 11);
    d.controls.push_back(loadControl(session, row));
  }
  return d;
}

}  // namespace msi::dialogs
