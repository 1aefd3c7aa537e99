#include "src/ui/terminal_text.h"

#include <cstdio>

namespace fennick::ui {
namespace {

std::string hexEscape(const char* prefix, unsigned value, int digits) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%s%0*x", prefix, digits, value);
  return buf;
}

// Length of the valid UTF-8 sequence at the start of `s`, or 0 when it is not one.
std::size_t utf8Length(std::string_view s) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
  const unsigned char lead = byte(0);
  std::size_t n = 0;
  unsigned char lo = 0x80, hi = 0xBF;  // bounds of the second byte: no overlong form, no surrogate
  if (lead >= 0xC2 && lead <= 0xDF) n = 2;
  else if (lead >= 0xE0 && lead <= 0xEF) n = 3, lo = lead == 0xE0 ? 0xA0 : 0x80, hi = lead == 0xED ? 0x9F : 0xBF;
  else if (lead >= 0xF0 && lead <= 0xF4) n = 4, lo = lead == 0xF0 ? 0x90 : 0x80, hi = lead == 0xF4 ? 0x8F : 0xBF;
  else return 0;
  if (s.size() < n || byte(1) < lo || byte(1) > hi) return 0;
  for (std::size_t i = 2; i < n; ++i)
    if (byte(i) < 0x80 || byte(i) > 0xBF) return 0;
  return n;
}

}  // namespace

std::string TerminalText(std::string_view text, LineBreaks breaks) {
  const bool keep = breaks == LineBreaks::Keep;
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c == '\n') {
      out += keep ? "\n" : "\\n";
      ++i;
    } else if (c == '\r' && keep && text.substr(i, 2) == "\r\n") {
      out += "\r\n";
      i += 2;
    } else if (c == '\r') {
      out += "\\r";
      ++i;
    } else if (c == '\t' || (c >= 0x20 && c < 0x7F)) {
      out += static_cast<char>(c);
      ++i;
    } else if (c < 0x80) {
      out += hexEscape("\\x", c, 2);  // C0 control or DEL
      ++i;
    } else if (const std::size_t n = utf8Length(text.substr(i)); n == 0) {
      out += hexEscape("\\x", c, 2);
      ++i;
    } else if (c == 0xC2 && static_cast<unsigned char>(text[i + 1]) < 0xA0) {
      out += hexEscape("\\u", static_cast<unsigned char>(text[i + 1]), 4);  // C1 control
      i += 2;
    } else {
      out.append(text, i, n);
      i += n;
    }
  }
  return out;
}

}  // namespace fennick::ui
