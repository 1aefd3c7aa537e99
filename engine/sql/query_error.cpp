#include "engine/sql/query_error.h"

namespace msi::sql {
namespace {

// Long or binary queries stay readable in a message; the offset still points into the
// original text.
constexpr std::size_t kShownQueryBytes = 160;

}  // namespace

std::string queryPrefix(std::string_view query) {
  std::string shown = query.size() > kShownQueryBytes
                          ? printable(query.substr(0, kShownQueryBytes)) + "..."
                          : printable(query);
  return "query `" + shown + "`: ";
}

void throwAt(std::string_view query, std::string_view cause, std::size_t offset, ErrorKind kind) {
  throw Error(queryPrefix(query) + std::string(cause) + " at offset " + std::to_string(offset), kind);
}

void throwQuery(std::string_view query, std::string_view cause, ErrorKind kind) {
  throw Error(queryPrefix(query) + std::string(cause), kind);
}

}  // namespace msi::sql
