#include "engine/qt/rtf_text.h"
#include "engine/cfb/utf8.h"

#include <cctype>
#include <cstdint>
#include <vector>

namespace msi::qt {
namespace {

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool isHeaderGroup(std::string_view word) {
  return word == "fonttbl" || word == "colortbl" || word == "stylesheet" || word == "info" ||
         word == "pict" || word == "header" || word == "footer" || word == "listtable" ||
         word == "listoverridetable" || word == "rsidtbl" || word == "generator";
}

}  // namespace

std::string rtfToPlainText(std::string_view rtf) {
  if (!rtf.starts_with("{\\rtf")) return std::string(rtf);
  std::string out;
  // For each open group: whether its text is dropped. Depth is bounded by the input length.
  std::vector<bool> skipping{false};
  bool groupStart = false;
  int skipAfterUnicode = 0;
  const std::size_t n = rtf.size();
  for (std::size_t i = 0; i < n;) {
    const char c = rtf[i];
    const bool skip = skipping.back();
    if (c == '{') {
      skipping.push_back(skip);
      groupStart = true;
      ++i;
      continue;
    }
    if (c == '}') {
      if (skipping.size() > 1) skipping.pop_back();
      groupStart = false;
      ++i;
      continue;
    }
    const bool atGroupStart = groupStart;
    groupStart = false;
    if (c == '\r' || c == '\n') {
      ++i;
      continue;
    }
    if (c != '\\') {
      if (!skip) {
        if (skipAfterUnicode > 0) --skipAfterUnicode;
        else out += c;
      }
      ++i;
      continue;
    }
    // A control symbol or word.
    if (i + 1 >= n) break;
    const char d = rtf[i + 1];
    if (d == '\\' || d == '{' || d == '}') {
      if (!skip) out += d;
      i += 2;
      continue;
    }
    if (d == '*') {  // an optional destination: never text
      skipping.back() = true;
      i += 2;
      continue;
    }
    if (d == '\'') {
      const int hi = i + 2 < n ? hexDigit(rtf[i + 2]) : -1;
      const int lo = hi >= 0 && i + 3 < n ? hexDigit(rtf[i + 3]) : -1;
      if (hi >= 0 && lo >= 0 && !skip) {
        if (skipAfterUnicode > 0) --skipAfterUnicode;
        else appendUtf8(out, static_cast<std::uint32_t>(hi * 16 + lo));
      }
      i += 2 + (hi >= 0 ? 1 : 0) + (lo >= 0 ? 1 : 0);  // a cut escape takes what digits it has
      continue;
    }
    if (d == '\r' || d == '\n') {  // an escaped line break is a paragraph
      if (!skip) out += '\n';
      i += 2;
      continue;
    }
    if (!std::isalpha(static_cast<unsigned char>(d))) {
      if (d == '~' && !skip) out += ' ';
      i += 2;
      continue;
    }
    std::size_t j = i + 1;
    while (j < n && std::isalpha(static_cast<unsigned char>(rtf[j]))) ++j;
    const std::string_view word = rtf.substr(i + 1, j - i - 1);
    bool negative = false;
    long param = 0;
    bool hasParam = false;
    if (j < n && rtf[j] == '-') {
      negative = true;
      ++j;
    }
    while (j < n && std::isdigit(static_cast<unsigned char>(rtf[j]))) {
      if (param < 10000000) param = param * 10 + (rtf[j] - '0');
      hasParam = true;
      ++j;
    }
    if (negative) param = -param;
    if (j < n && rtf[j] == ' ') ++j;
    i = j;
    if (atGroupStart && isHeaderGroup(word)) {
      skipping.back() = true;
      continue;
    }
    if (skip) continue;
    if (word == "par" || word == "line" || word == "sect" || word == "page") out += '\n';
    else if (word == "tab") out += '\t';
    else if (word == "u" && hasParam) {
      appendUtf8(out, static_cast<std::uint32_t>(param < 0 ? param + 65536 : param));
      skipAfterUnicode = 1;  // the fallback character that follows
    } else if (word == "bullet") appendUtf8(out, 0x2022);
    else if (word == "emdash") appendUtf8(out, 0x2014);
    else if (word == "endash") appendUtf8(out, 0x2013);
    else if (word == "lquote") appendUtf8(out, 0x2018);
    else if (word == "rquote") appendUtf8(out, 0x2019);
    else if (word == "ldblquote") appendUtf8(out, 0x201C);
    else if (word == "rdblquote") appendUtf8(out, 0x201D);
  }
  // Trailing blank lines of the last paragraph mark add nothing.
  while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
  return out;
}

}  // namespace msi::qt
