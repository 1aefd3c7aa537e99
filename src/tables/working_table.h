// One working table: an ordered list of text rows with fixed column headers, rows numbered
// from 1. Keyed tables refuse a second row with the same key; unkeyed ones keep duplicates.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace fennick::tables {

// A failed append (key already present) or a row/sub-item number out of range.
class TableError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class WorkingTable {
 public:
  WorkingTable(std::string name, std::vector<std::string> headers, bool keyed);

  const std::string& Name() const { return name_; }
  const std::vector<std::string>& Headers() const { return headers_; }
  bool Keyed() const { return keyed_; }

  // Appends a row and returns its number (the new row count, or its sorted position while
  // sorting is on). In a keyed table `key` must be given; a key already present fails and
  // changes nothing.
  std::size_t AppendRow(std::string_view text, std::optional<std::string_view> key = std::nullopt);
  void AppendSubItem(std::size_t row, std::string_view text);
  void AppendSubItem(std::size_t row, std::int32_t number);  // stored as decimal text

  std::size_t RowCount() const { return rows_.size(); }
  const std::string& RowText(std::size_t row) const;                       // 1-based
  const std::string& SubItemText(std::size_t row, std::size_t item) const;  // 1-based
  std::size_t SubItemCount(std::size_t row) const;

  // Switching on sorts the rows once by their text (byte order: "10" before "9");
  // switching off keeps the order and sends later rows to the end again.
  void SetSorted(bool on);

 private:
  struct Row {
    std::string text;
    std::optional<std::string> key;
    std::vector<std::string> subItems;
  };
  const Row& At(std::size_t row) const;

  std::string name_;
  std::vector<std::string> headers_;
  bool keyed_;
  bool sorted_ = false;
  std::vector<Row> rows_;
  std::unordered_set<std::string> keys_;
};

}  // namespace fennick::tables
