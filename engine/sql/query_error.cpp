#include "engine/sql/query_error.h"

namespace msi::sql {
namespace {

// Long or binary queries stay readable in a message; the offset still points into the
// original text.
constexpr std::size_t kShownQueryBytes = 160;

}  // namespace

std::string printable(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    const auto u = static_cast<unsigned char>(c);
    out.push_back(u < 0x20 || u == 0x7f ? ' ' : c);
  }
  return out;
}

std::string queryPrefix(std::string_view query) {
  std::string shown = query.size() > kShownQueryBytes
                          ? printable(query.substr(0, kShownQueryBytes)) + "..."
                          : printable(query);
  return "query `" + shown + "`: ";
}

void throwAt(std::string_view query, std::string_view cause, std::size_t offset) {
  throw Error(queryPrefix(query) + std::string(cause) + " at offset " + std::to_string(offset));
}

void throwQuery(std::string_view query, std::string_view cause) {
  throw Error(queryPrefix(query) + std::string(cause));
}

std::string backticked(std::string_view name) { return "`" + printable(name) + "`"; }

}  // namespace msi::sql
