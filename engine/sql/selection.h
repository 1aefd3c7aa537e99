// Finds the row combinations that satisfy a WHERE clause.
//
// Plan: split the clause at its top-level ANDs; look a table's row up by key when every key
// column is compared with a constant, else filter it by a scan; then join the tables in FROM
// order, hashing the columns of equality joins. Each part of the clause is checked once, at
// the first step where all the tables it reads are present.
#pragma once

#include <cstddef>
#include <span>
#include <string_view>
#include <vector>

#include "engine/sql/expression.h"

namespace msi::sql {

// Row index tuples, one index per table, stored flat.
class Tuples {
 public:
  explicit Tuples(std::size_t width) : width_(width) {}
  std::size_t width() const { return width_; }
  std::size_t size() const { return width_ == 0 ? 0 : indices_.size() / width_; }
  std::span<const std::size_t> operator[](std::size_t i) const {
    return {indices_.data() + i * width_, width_};
  }
  void push(std::span<const std::size_t> tuple) {
    indices_.insert(indices_.end(), tuple.begin(), tuple.end());
  }
  void reserve(std::size_t tuples) { indices_.reserve(tuples * width_); }

 private:
  std::size_t width_;
  std::vector<std::size_t> indices_;
};

// A query may not produce more rows than this (a cross join of large tables would).
inline constexpr std::size_t kMaxResultRows = 4'000'000;

// The matching tuples, ordered as the installer returns them without ORDER BY: by the
// row index in the last table, then the one before it, and so on. `where` has no
// parameters left. Throws Error when the result would exceed kMaxResultRows.
Tuples selectRows(const Scope& scope, const BoundExpr* where);

}  // namespace msi::sql
