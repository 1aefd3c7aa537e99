#include "src/tables/working_table.h"

#include <algorithm>

namespace fennick::tables {

WorkingTable::WorkingTable(std::string name, std::vector<std::string> headers, bool keyed)
    : name_(std::move(name)), headers_(std::move(headers)), keyed_(keyed) {}

std::size_t WorkingTable::AppendRow(std::string_view text, std::optional<std::string_view> key) {
  if (key && keys_.count(std::string(*key)))
    throw TableError(name_ + ": a row with key \"" + std::string(*key) + "\" already exists");
  Row row{std::string(text), key ? std::optional<std::string>(std::string(*key)) : std::nullopt, {}};
  std::size_t position = rows_.size();
  if (sorted_) {
    auto it = std::upper_bound(rows_.begin(), rows_.end(), row.text,
                               [](const std::string& t, const Row& r) { return t < r.text; });
    position = static_cast<std::size_t>(it - rows_.begin());
  }
  if (row.key) keys_.insert(*row.key);
  rows_.insert(rows_.begin() + static_cast<std::ptrdiff_t>(position), std::move(row));
  return position + 1;
}

void WorkingTable::AppendSubItem(std::size_t row, std::string_view text) {
  if (row < 1 || row > rows_.size())
    throw TableError(name_ + ": no row " + std::to_string(row));
  Row& r = rows_[row - 1];
  if (r.subItems.size() + 1 >= headers_.size())
    throw TableError(name_ + ": row " + std::to_string(row) + " already has all " +
                     std::to_string(headers_.size() - 1) + " sub-items");
  r.subItems.emplace_back(text);
}

void WorkingTable::AppendSubItem(std::size_t row, std::int32_t number) {
  AppendSubItem(row, std::to_string(number));
}

const WorkingTable::Row& WorkingTable::At(std::size_t row) const {
  if (row < 1 || row > rows_.size())
    throw TableError(name_ + ": no row " + std::to_string(row) + " (row count " +
                     std::to_string(rows_.size()) + ")");
  return rows_[row - 1];
}

const std::string& WorkingTable::RowText(std::size_t row) const { return At(row).text; }

const std::string& WorkingTable::SubItemText(std::size_t row, std::size_t item) const {
  const Row& r = At(row);
  if (item < 1 || item > r.subItems.size())
    throw TableError(name_ + ": row " + std::to_string(row) + " has no sub-item " +
                     std::to_string(item));
  return r.subItems[item - 1];
}

std::size_t WorkingTable::SubItemCount(std::size_t row) const { return At(row).subItems.size(); }

void WorkingTable::SetSorted(bool on) {
  if (on && !sorted_)
    std::stable_sort(rows_.begin(), rows_.end(),
                     [](const Row& a, const Row& b) { return a.text < b.text; });
  sorted_ = on;
}

}  // namespace fennick::tables
