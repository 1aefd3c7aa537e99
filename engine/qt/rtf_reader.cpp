#include "engine/qt/rtf_reader.h"

#include <cctype>
#include <cstdint>
#include <vector>

#include "engine/text/utf8.h"

namespace msi::qt {
namespace {

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool isHeaderGroup(std::string_view word) {
  return word == "colortbl" || word == "stylesheet" || word == "info" || word == "pict" || word == "header" ||
         word == "footer" || word == "listtable" || word == "listoverridetable" || word == "rsidtbl" ||
         word == "generator";
}

// What a group's text is: shown, dropped, or a font table entry's name.
enum class Mode { Text, Skip, Fonts };

class Reader {
 public:
  Reader(std::string_view rtf, RtfHandler& handler) : rtf_(rtf), h_(handler) {}

  void run() {
    const std::size_t n = rtf_.size();
    for (std::size_t i = 0; i < n;) {
      const char c = rtf_[i];
      if (c == '{') {
        modes_.push_back(modes_.back());
        groupStart_ = true;
        if (modes_.back() == Mode::Text) h_.groupOpen();
        ++i;
        continue;
      }
      if (c == '}') {
        if (modes_.size() > 1) {
          if (modes_.back() == Mode::Text) h_.groupClose();
          modes_.pop_back();
        }
        groupStart_ = false;
        ++i;
        continue;
      }
      const bool atGroupStart = groupStart_;
      groupStart_ = false;
      if (c == '\r' || c == '\n') {
        ++i;
        continue;
      }
      if (c != '\\') {
        character(std::string(1, c), true);
        ++i;
        continue;
      }
      i = control(i, atGroupStart);
    }
  }

 private:
  // Text of the current group; `counts` when it is one the fallback after \uN replaces.
  void character(const std::string& utf8, bool counts) {
    if (counts && skipAfterUnicode_ > 0 && modes_.back() == Mode::Text) {
      --skipAfterUnicode_;
      return;
    }
    switch (modes_.back()) {
      case Mode::Text: h_.text(utf8); break;
      case Mode::Skip: break;
      case Mode::Fonts:
        if (utf8 == ";") {
          const std::size_t start = fontName_.find_first_not_of(' ');
          h_.font(fontNumber_, start == std::string::npos ? std::string() : fontName_.substr(start));
          fontName_.clear();
        } else {
          fontName_ += utf8;
        }
        break;
    }
  }

  void codePoint(std::uint32_t cp, bool counts) {
    std::string s;
    text::appendUtf8(s, cp);
    character(s, counts);
  }

  // A control symbol or word at `i`; returns where the input goes on.
  std::size_t control(std::size_t i, bool atGroupStart) {
    const std::size_t n = rtf_.size();
    if (i + 1 >= n) return n;
    const char d = rtf_[i + 1];
    if (d == '\\' || d == '{' || d == '}') {
      character(std::string(1, d), false);
      return i + 2;
    }
    if (d == '*') {  // an optional destination: never text
      modes_.back() = Mode::Skip;
      return i + 2;
    }
    if (d == '\'') {
      const int hi = i + 2 < n ? hexDigit(rtf_[i + 2]) : -1;
      const int lo = hi >= 0 && i + 3 < n ? hexDigit(rtf_[i + 3]) : -1;
      if (hi >= 0 && lo >= 0) codePoint(static_cast<std::uint32_t>(hi * 16 + lo), true);
      return i + 2 + (hi >= 0 ? 1 : 0) + (lo >= 0 ? 1 : 0);  // a cut escape takes what digits it has
    }
    if (d == '\r' || d == '\n') {  // an escaped line break is a paragraph
      if (modes_.back() == Mode::Text) h_.word("par", std::nullopt);
      return i + 2;
    }
    if (!std::isalpha(static_cast<unsigned char>(d))) {
      if (d == '~') character(" ", false);
      return i + 2;
    }
    std::size_t j = i + 1;
    while (j < n && std::isalpha(static_cast<unsigned char>(rtf_[j]))) ++j;
    const std::string_view word = rtf_.substr(i + 1, j - i - 1);
    bool negative = false;
    long param = 0;
    bool hasParam = false;
    if (j < n && rtf_[j] == '-') {
      negative = true;
      ++j;
    }
    while (j < n && std::isdigit(static_cast<unsigned char>(rtf_[j]))) {
      if (param < 10000000) param = param * 10 + (rtf_[j] - '0');
      hasParam = true;
      ++j;
    }
    if (negative) param = -param;
    if (j < n && rtf_[j] == ' ') ++j;
    if (atGroupStart && word == "fonttbl" && modes_.back() == Mode::Text) {
      modes_.back() = Mode::Fonts;
      return j;
    }
    if (atGroupStart && isHeaderGroup(word)) {
      modes_.back() = Mode::Skip;
      return j;
    }
    if (modes_.back() == Mode::Fonts) {
      if (word == "f" && hasParam) {
        fontNumber_ = param;
        fontName_.clear();
      }
      return j;
    }
    if (modes_.back() == Mode::Skip) return j;
    if (word == "tab") character("\t", false);
    else if (word == "u" && hasParam) {
      codePoint(static_cast<std::uint32_t>(param < 0 ? param + 65536 : param), false);
      skipAfterUnicode_ = 1;  // the fallback character that follows
    } else if (word == "bullet") codePoint(0x2022, false);
    else if (word == "emdash") codePoint(0x2014, false);
    else if (word == "endash") codePoint(0x2013, false);
    else if (word == "lquote") codePoint(0x2018, false);
    else if (word == "rquote") codePoint(0x2019, false);
    else if (word == "ldblquote") codePoint(0x201C, false);
    else if (word == "rdblquote") codePoint(0x201D, false);
    else h_.word(word, hasParam ? std::optional<long>(param) : std::nullopt);
    return j;
  }

  std::string_view rtf_;
  RtfHandler& h_;
  // For each open group. Depth is bounded by the input length.
  std::vector<Mode> modes_{Mode::Text};
  bool groupStart_ = false;
  int skipAfterUnicode_ = 0;
  long fontNumber_ = 0;
  std::string fontName_;
};

}  // namespace

void readRtf(std::string_view rtf, RtfHandler& handler) { Reader(rtf, handler).run(); }

}  // namespace msi::qt
