#include "engine/dialogs/control_model.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "engine/dialogs/directory_browse.h"
#include "engine/session/table_rows.h"
#include "engine/dialogs/selection_tree.h"

namespace msi::dialogs {
namespace {

std::string beforeBar(const std::string& help) { return help.substr(0, help.find('|')); }

bool lessIgnoringCase(const std::string& a, const std::string& b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) < std::tolower(static_cast<unsigned char>(y));
  });
}

// The Binary key an image control names: its formatted text without a style prefix.
std::string binaryName(const std::string& formatted) {
  std::string name = splitTextStyle(formatted).text;
  if (!name.empty() && name.front() == '{') {
    const std::size_t close = name.find('}');
    if (close != std::string::npos) name.erase(0, close + 1);
  }
  return name;
}

// The `{80}` limit at the start of an edit control's text.
int editLimit(std::string_view text) {
  if (text.size() < 3 || text.front() != '{') return 0;
  const std::size_t close = text.find('}');
  if (close == std::string_view::npos || close < 2 || close > 11) return 0;
  long long limit = 0;
  for (char c : text.substr(1, close - 1)) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return 0;
    limit = limit * 10 + (c - '0');
  }
  return limit > 0x7fffffff ? 0x7fffffff : static_cast<int>(limit);
}

// Orders list items as the control shows them: by the Order column, and by text unless the
// control keeps the table's order (the Sorted attribute, despite its name).
void orderItems(std::vector<std::pair<int, ListItem>>& rows, bool keepOrder, std::vector<ListItem>& out) {
  std::stable_sort(rows.begin(), rows.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  for (auto& [order, item] : rows) out.push_back(std::move(item));
  if (!keepOrder)
    std::stable_sort(out.begin(), out.end(),
                     [](const ListItem& a, const ListItem& b) { return lessIgnoringCase(a.text, b.text); });
}

void loadRadioButtons(Session& session, Control& c) {
  TableRows t(*session.database(), "RadioButton",
                 {"Property", "Order", "Value", "X", "Y", "Width", "Height", "Text", "Help"});
  std::vector<std::pair<int, ListItem>> rows;
  for (std::size_t r : t.rowsWhere(0, c.propertyColumn)) {
    ListItem item;
    item.value = t.text(r, 2);
    item.rect = Rect{t.integer(r, 3).value_or(0), t.integer(r, 4).value_or(0), t.integer(r, 5).value_or(0),
                     t.integer(r, 6).value_or(0)};
    StyledText styled = splitTextStyle(session.formatText(t.text(r, 7)));
    item.text = std::move(styled.text);
    item.textStyle = std::move(styled.style);
    item.help = beforeBar(t.text(r, 8));
    rows.emplace_back(t.integer(r, 1).value_or(0), std::move(item));
  }
  orderItems(rows, true, c.items);
}

void loadListItems(Session& session, Control& c, std::string_view table) {
  TableRows t(*session.database(), table, {"Property", "Order", "Value", "Text", "Binary_"});
  std::vector<std::pair<int, ListItem>> rows;
  for (std::size_t r : t.rowsWhere(0, c.propertyColumn)) {
    ListItem item;
    item.value = t.text(r, 2);
    StyledText styled = splitTextStyle(session.formatText(t.text(r, 3)));
    item.text = styled.text.empty() && t.isNull(r, 3) ? item.value : std::move(styled.text);
    item.textStyle = std::move(styled.style);
    item.image = t.text(r, 4);
    rows.emplace_back(t.integer(r, 1).value_or(0), std::move(item));
  }
  orderItems(rows, (c.attributes & kListSorted) != 0, c.items);
}

std::string checkBoxValue(Session& session, const Control& c) {
  TableRows t(*session.database(), "CheckBox", {"Property", "Value"});
  for (std::size_t r : t.rowsWhere(0, c.propertyColumn)) {
    std::string value = session.formatText(t.text(r, 1));
    if (!value.empty()) return value;
  }
  // Without a CheckBox row, a box keeps the value its property had when it appeared.
  std::string current = session.property(resolveProperty(session, c));
  return current.empty() ? std::string("1") : current;
}

// `{w}` column widths of a VolumeCostList: empty or 0 hides a column; a width that is not a
// number hides it and those after it. A leading `{\\Style}` prefix names the list's font, not a
// width.
void volumeColumns(Session& session, Control& c, std::string_view authored) {
  static constexpr std::string_view kKeys[] = {"VolumeCostVolume", "VolumeCostSize", "VolumeCostAvailable",
                                               "VolumeCostRequired", "VolumeCostDifference"};
  c.columnWidths.assign(5, 0);
  for (std::string_view key : kKeys) c.columnHeaders.push_back(uiText(session, key));
  StyledText styled = splitTextStyle(authored);
  c.textStyle = std::move(styled.style);
  const std::string_view text = styled.text;
  std::size_t pos = 0;
  for (std::size_t column = 0; column < 5; ++column) {
    const std::size_t open = text.find('{', pos);
    if (open == std::string_view::npos) break;
    const std::size_t close = text.find('}', open);
    if (close == std::string_view::npos) break;
    const std::string_view width = text.substr(open + 1, close - open - 1);
    pos = close + 1;
    if (width.empty()) continue;
    if (width.size() > 6 || !std::all_of(width.begin(), width.end(),
                                         [](char ch) { return std::isdigit(static_cast<unsigned char>(ch)); }))
      break;
    c.columnWidths[column] = std::stoi(std::string(width));
  }
}

std::vector<ListItem> volumeCostItems(Session& session) {
  std::vector<ListItem> items;
  for (const VolumeCost& v : session.volumeCosts()) {
    ListItem item;
    item.value = v.volume;
    item.text = v.volume;
    const std::uint64_t left = v.available >= v.required ? v.available - v.required : 0;
    item.columns = {v.volume, formatSize(session, v.size), formatSize(session, v.available),
                    formatSize(session, v.required), formatSize(session, left)};
    items.push_back(std::move(item));
  }
  return items;
}

}  // namespace

std::string uiText(Session& session, std::string_view key) {
  TableRows t(*session.database(), "UIText", {"Key", "Text"});
  const auto rows = t.rowsWhere(0, key);
  return rows.empty() ? std::string() : t.text(rows.front(), 1);
}

std::string formatSize(Session& session, std::uint64_t bytes) {
  auto unit = [&](std::string_view key, std::string_view fallback) {
    std::string text = uiText(session, key);
    return text.empty() ? std::string(fallback) : text;
  };
  if (bytes < 1024) return std::to_string(bytes) + " " + unit("bytes", "bytes");
  if (bytes < 1024ull * 1024) return std::to_string((bytes + 1023) / 1024) + " " + unit("KB", "KB");
  char number[32];
  if (bytes < 1024ull * 1024 * 1024) {
    std::snprintf(number, sizeof number, "%.1f", static_cast<double>(bytes) / (1024.0 * 1024.0));
    return std::string(number) + " " + unit("MB", "MB");
  }
  std::snprintf(number, sizeof number, "%.1f", static_cast<double>(bytes) / (1024.0 * 1024.0 * 1024.0));
  return std::string(number) + " " + unit("GB", "GB");
}

std::string resolveProperty(const Session& session, const Control& control) {
  if (control.propertyColumn.empty() || !control.indirect()) return control.propertyColumn;
  std::string named = session.property(control.propertyColumn);
  return named.empty() ? control.propertyColumn : named;
}

Control loadControl(Session& session, const ControlRow& row) {
  Control c;
  c.name = row.name;
  c.typeName = row.type;
  c.type = controlTypeFromName(row.type);
  c.rect = row.rect;
  c.attributes = row.attributes;
  c.visible = (row.attributes & kControlVisible) != 0;
  c.enabled = (row.attributes & kControlEnabled) != 0;
  c.propertyColumn = row.property;
  c.next = row.next;
  c.help = beforeBar(row.help);

  // Rich text is shown as written; every other text is formatted, then its style parsed off.
  if (c.type == ControlType::ScrollableText) {
    c.text = row.text;
  } else if (c.type == ControlType::VolumeCostList) {
    volumeColumns(session, c, row.text);
  } else {
    const std::string formatted = session.formatText(row.text);
    StyledText styled = splitTextStyle(formatted);
    c.textStyle = std::move(styled.style);
    switch (c.type) {
      case ControlType::Bitmap:
      case ControlType::Icon:
        c.image = binaryName(formatted);
        break;
      case ControlType::PushButton:
        if (row.attributes & (kButtonBitmap | kButtonIcon))
          c.image = binaryName(formatted);
        else
          c.text = std::move(styled.text);
        break;
      case ControlType::Edit:
        c.maxLength = editLimit(styled.text);
        break;
      case ControlType::MaskedEdit:
        c.mask = std::move(styled.text);
        break;
      case ControlType::PathEdit:
      case ControlType::DirectoryCombo:
      case ControlType::DirectoryList:
      case ControlType::VolumeSelectCombo:
        break;  // the text of these names a template of the authoring tool, not shown
      default:
        c.text = std::move(styled.text);
    }
  }

  switch (c.type) {
    case ControlType::RadioButtonGroup: loadRadioButtons(session, c); break;
    case ControlType::ComboBox: loadListItems(session, c, "ComboBox"); break;
    case ControlType::ListBox: loadListItems(session, c, "ListBox"); break;
    case ControlType::ListView: loadListItems(session, c, "ListView"); break;
    case ControlType::CheckBox:
      if (!c.propertyColumn.empty()) c.checkedValue = checkBoxValue(session, c);
      break;
    default: break;
  }
  refreshControl(session, c);
  return c;
}

void refreshControl(Session& session, Control& c) {
  c.property = resolveProperty(session, c);
  if (!c.property.empty()) c.value = session.property(c.property);
  switch (c.type) {
    case ControlType::CheckBox: c.checked = !c.value.empty(); break;
    case ControlType::DirectoryList: c.items = directoryListItems(session, c.value); break;
    case ControlType::DirectoryCombo: c.items = directoryComboItems(session, c.value); break;
    case ControlType::VolumeSelectCombo: c.items = volumeItems(session); break;
    case ControlType::VolumeCostList: c.items = volumeCostItems(session); break;
    case ControlType::SelectionTree: c.tree = buildSelectionTree(session); break;
    default: break;
  }
}

}  // namespace msi::dialogs
