#include "engine/text/quoting.h"

namespace msi::text {

std::string printable(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    const auto u = static_cast<unsigned char>(c);
    out.push_back(u < 0x20 || u == 0x7f ? ' ' : c);
  }
  return out;
}

std::string backticked(std::string_view name, std::size_t shown) {
  if (name.size() <= shown) return "`" + printable(name) + "`";
  return "`" + printable(name.substr(0, shown)) + "...`";
}

void appendTabField(std::string& out, std::string_view text) {
  for (const char c : text) {
    switch (c) {
      case '\t': out += "\\t"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\\': out += "\\\\"; break;
      default: out += c;
    }
  }
}

std::string tabField(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  appendTabField(out, text);
  return out;
}

}  // namespace msi::text
