// Row keys for matching and for names.
#include "engine/mst/row_key.h"

namespace msi::mst {

std::vector<std::size_t> keyColumns(const std::vector<Column>& columns) {
  std::vector<std::size_t> keys;
  for (std::size_t i = 0; i < columns.size(); ++i)
    if (columns[i].key) keys.push_back(i);
  return keys;
}

std::string rowKey(const Row& row, const std::vector<std::size_t>& keys) {
  std::string out;
  for (const std::size_t k : keys) {
    const Value& v = k < row.size() ? row[k] : Value();
    if (v.isInt()) {
      out += 'i';
      out += std::to_string(v.asInt());
    } else if (v.isString()) {
      // Length first, so that no text can imitate a column boundary.
      out += 's';
      out += std::to_string(v.asString().size());
      out += ':';
      out += v.asString();
    } else {
      out += v.isNull() ? 'n' : 'b';
    }
    out += '\x1F';
  }
  return out;
}

bool sameKey(const Row& a, const Row& b, const std::vector<std::size_t>& keys) {
  static const Value null;
  for (const std::size_t k : keys) {
    const Value& x = k < a.size() ? a[k] : null;
    const Value& y = k < b.size() ? b[k] : null;
    if (x.isBlob() || y.isBlob()) {
      if (x.isBlob() != y.isBlob()) return false;
      continue;
    }
    if (!(x == y)) return false;
  }
  return true;
}

std::string keyText(const Row& row, const std::vector<std::size_t>& keys) {
  std::string out;
  for (std::size_t i = 0; i < keys.size(); ++i) {
    if (i) out += '.';
    if (keys[i] < row.size()) out += row[keys[i]].text();
  }
  return out;
}

}  // namespace msi::mst
