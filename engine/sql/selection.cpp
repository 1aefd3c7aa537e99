#include "engine/sql/selection.h"

#include <algorithm>
#include <numeric>
#include <optional>
#include <unordered_map>

#include "engine/sql/query_error.h"
#include "engine/sql/value_conversion.h"

namespace msi::sql {
namespace {

struct Conjunct {
  const BoundExpr* expr;
  std::uint64_t tables;
  std::size_t last;  // highest table index read
  bool used = false;
};

std::size_t highestBit(std::uint64_t mask) {
  std::size_t last = 0;
  for (std::size_t t = 0; t < 64; ++t)
    if (mask & (std::uint64_t{1} << t)) last = t;
  return last;
}

std::vector<Conjunct> splitConjuncts(const BoundExpr* where) {
  std::vector<Conjunct> parts;
  if (where == nullptr) return parts;
  auto add = [&](const BoundExpr& e) {
    const std::uint64_t mask = tablesUsed(e);
    parts.push_back(Conjunct{&e, mask, highestBit(mask)});
  };
  if (where->kind == Expr::Kind::And)
    for (const BoundExpr& child : where->children) add(child);
  else
    add(*where);
  return parts;
}

bool isConstantEquality(const BoundExpr& e, std::size_t table) {
  return e.kind == Expr::Kind::Compare && e.op == CompareOp::Eq &&
         e.left.column.table == table && e.right.kind == BoundOperand::Kind::Constant &&
         !e.right.constant.isNull();
}

// Row indices of one table that pass the conditions reading only that table.
std::vector<std::size_t> candidates(const Scope& scope, std::size_t t,
                                    std::vector<Conjunct>& parts) {
  Table& table = *scope.tables()[t].table;
  const Schema& schema = table.schema();
  const std::uint64_t self = std::uint64_t{1} << t;
  std::vector<const BoundExpr*> local;
  for (Conjunct& c : parts)
    if (c.tables == self) {
      local.push_back(c.expr);
      c.used = true;
    }

  std::vector<const Row*> rows(scope.tables().size(), nullptr);
  auto passes = [&](std::size_t i) {
    rows[t] = &table.row(i);
    for (const BoundExpr* e : local)
      if (!evaluate(*e, rows)) return false;
    return true;
  };

  // Every key column equal to a constant: one lookup instead of a scan.
  const std::size_t keyCount = schema.keyCount();
  if (keyCount > 0) {
    Row key(schema.columns.size());
    std::size_t found = 0;
    for (std::size_t k = 0; k < keyCount; ++k)
      for (const BoundExpr* e : local)
        if (isConstantEquality(*e, t) && e->left.column.column == k) {
          key[k] = e->right.constant;
          ++found;
          break;
        }
    if (found == keyCount) {
      std::vector<std::size_t> hit;
      if (const auto i = table.find(key); i && *i < table.size() && passes(*i)) hit.push_back(*i);
      return hit;
    }
  }

  std::vector<std::size_t> out;
  const std::size_t count = table.size();
  for (std::size_t i = 0; i < count; ++i)
    if (passes(i)) out.push_back(i);
  return out;
}

void checkSize(const Scope& scope, std::size_t rows) {
  if (rows > kMaxResultRows)
    throwQuery(scope.query(), "the result would exceed " + std::to_string(kMaxResultRows) +
                                  " rows", ErrorKind::Limit);
}

// Row pairs a join without an equality may examine.
constexpr std::size_t kMaxJoinPairs = 64'000'000;

struct EquiJoin {
  BoundColumn probe;  // column of an earlier table
  BoundColumn build;  // column of the table being joined
};

// Adds table t to every partial tuple of `joined` (tables 0..t-1).
Tuples joinNext(const Scope& scope, const Tuples& joined, std::size_t t,
                const std::vector<std::size_t>& rowsOfT, std::vector<Conjunct>& parts) {
  const std::size_t width = t + 1;
  std::vector<EquiJoin> keys;
  std::vector<const BoundExpr*> checks;
  for (Conjunct& c : parts) {
    if (c.used || c.last != t) continue;
    c.used = true;
    const BoundExpr& e = *c.expr;
    const bool columnEquality = e.kind == Expr::Kind::Compare && e.op == CompareOp::Eq &&
                                e.right.kind == BoundOperand::Kind::Column;
    if (columnEquality && e.left.column.table == t && e.right.column.table < t)
      keys.push_back(EquiJoin{e.right.column, e.left.column});
    else if (columnEquality && e.right.column.table == t && e.left.column.table < t)
      keys.push_back(EquiJoin{e.left.column, e.right.column});
    else
      checks.push_back(&e);
  }

  const auto& tables = scope.tables();
  std::vector<const Row*> rows(tables.size(), nullptr);
  std::vector<std::size_t> tuple(width);
  Tuples out(width);

  auto cellOf = [](const Row& row, std::size_t c) -> const Value& {
    static const Value null;
    return c < row.size() ? row[c] : null;
  };
  auto emit = [&](std::span<const std::size_t> prefix, std::size_t i) {
    std::copy(prefix.begin(), prefix.end(), tuple.begin());
    tuple[t] = i;
    for (std::size_t s = 0; s < width; ++s) rows[s] = &tables[s].table->row(tuple[s]);
    for (const BoundExpr* e : checks)
      if (!evaluate(*e, rows)) return;
    checkSize(scope, out.size() + 1);
    out.push(tuple);
  };

  if (keys.empty()) {
    // Without an equality to hash on, every pair is examined: refuse joins too large to
    // finish rather than run for hours.
    const std::size_t m = rowsOfT.size();
    if (m != 0 && joined.size() > kMaxJoinPairs / m)
      throwQuery(scope.query(), "joining " + backticked(tables[t].name) +
                                    " needs an equality with an earlier table: " +
                                    std::to_string(joined.size()) + " x " + std::to_string(m) +
                                    " row pairs is too many");
    for (std::size_t j = 0; j < joined.size(); ++j)
      for (const std::size_t i : rowsOfT) emit(joined[j], i);
    return out;
  }

  // Hash the joined table's rows on the equality columns; probe with each partial tuple.
  std::unordered_map<std::vector<Value>, std::vector<std::size_t>, ValuesHash> index;
  Table& build = *tables[t].table;
  for (const std::size_t i : rowsOfT) {
    std::vector<Value> key;
    key.reserve(keys.size());
    for (const EquiJoin& k : keys) key.push_back(cellOf(build.row(i), k.build.column));
    index[std::move(key)].push_back(i);
  }
  std::vector<Value> probe(keys.size());
  for (std::size_t j = 0; j < joined.size(); ++j) {
    const auto prefix = joined[j];
    for (std::size_t k = 0; k < keys.size(); ++k)
      probe[k] = cellOf(tables[keys[k].probe.table].table->row(prefix[keys[k].probe.table]),
                        keys[k].probe.column);
    const auto hit = index.find(probe);
    if (hit == index.end()) continue;
    for (const std::size_t i : hit->second) emit(prefix, i);
  }
  return out;
}

}  // namespace

Tuples selectRows(const Scope& scope, const BoundExpr* where) {
  const std::size_t n = scope.tables().size();
  std::vector<Conjunct> parts = splitConjuncts(where);

  std::vector<std::vector<std::size_t>> perTable(n);
  for (std::size_t t = 0; t < n; ++t) {
    perTable[t] = candidates(scope, t, parts);
    if (perTable[t].empty()) return Tuples(n);
  }

  Tuples joined(1);
  joined.reserve(perTable[0].size());
  for (const std::size_t i : perTable[0]) joined.push(std::span<const std::size_t>(&i, 1));
  for (std::size_t t = 1; t < n; ++t) {
    joined = joinNext(scope, joined, t, perTable[t], parts);
    if (joined.size() == 0) return Tuples(n);
  }
  if (n <= 1) return joined;

  std::vector<std::size_t> order(joined.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    const auto ta = joined[a];
    const auto tb = joined[b];
    for (std::size_t s = n; s-- > 0;)
      if (ta[s] != tb[s]) return ta[s] < tb[s];
    return false;
  });
  Tuples sorted(n);
  sorted.reserve(joined.size());
  for (const std::size_t i : order) sorted.push(joined[i]);
  return sorted;
}

}  // namespace msi::sql
