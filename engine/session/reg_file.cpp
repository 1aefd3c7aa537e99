#include "engine/session/reg_file.h"

#include <cctype>
#include <optional>
#include <vector>

#include "engine/db/codepage.h"

namespace msi {
namespace {

// Hex lists longer than this are refused: registry values are small, and a hostile file
// should not make the reader take memory without bound.
constexpr std::size_t kMaxValueBytes = std::size_t{1} << 20;

std::string_view trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

class Parser {
 public:
  Parser(std::string_view text, std::string_view source, Registry& registry, int firstLine)
      : source_(source), registry_(registry), lineBase_(firstLine) {
    std::size_t start = 0;
    while (start < text.size()) {
      std::size_t end = text.find('\n', start);
      if (end == std::string_view::npos) end = text.size();
      std::string_view line = text.substr(start, end - start);
      if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
      lines_.push_back(line);
      start = end + 1;
    }
  }

  void run() {
    bool header = false;
    for (index_ = 0; index_ < lines_.size(); ++index_) {
      const std::string_view line = trim(lines_[index_]);
      if (line.empty() || line.front() == ';') continue;
      if (!header) {
        if (!isRegHeader(line))
          fail("expected the header line `Windows Registry Editor Version 5.00` or `REGEDIT4`");
        ansi_ = line == "REGEDIT4";
        header = true;
        continue;
      }
      if (line.front() == '[') {
        keyLine(line);
      } else if (line.front() == '"' || line.front() == '@') {
        valueLine(line);
      } else {
        fail("expected a key in brackets, a value (\"name\"=... or @=...) or a comment (;)");
      }
    }
    if (!header) fail("no header line `Windows Registry Editor Version 5.00`");
  }

 private:
  [[noreturn]] void fail(const std::string& what) const {
    throw MachineTextError(source_, lineBase_ + static_cast<int>(index_), what);
  }

  void keyLine(std::string_view line) {
    if (line.back() != ']') fail("a key line must end with `]`");
    std::string_view name = line.substr(1, line.size() - 2);
    const bool remove = !name.empty() && name.front() == '-';
    if (remove) name.remove_prefix(1);
    if (trim(name).empty()) fail("a key needs a name");
    try {
      if (remove) {
        registry_.deleteKey(name);
        key_.reset();
      } else {
        registry_.createKey(name);
        key_ = std::string(name);
      }
    } catch (const Error& e) {
      fail(e.what());
    }
  }

  // A quoted string from `pos` (at the opening quote); pos ends after the closing quote.
  std::string quoted(std::string_view line, std::size_t& pos) {
    std::string out;
    for (++pos; pos < line.size(); ++pos) {
      const char c = line[pos];
      if (c == '"') {
        ++pos;
        return out;
      }
      if (c == '\\') {
        if (++pos >= line.size()) break;
        const char e = line[pos];
        if (e != '\\' && e != '"')
          fail(std::string("unknown escape `\\") + e + "` in a string (only \\\\ and \\\" are)");
        out += e;
      } else {
        out += c;
      }
    }
    fail("a string is not closed with `\"`");
  }

  void valueLine(std::string_view line) {
    std::size_t pos = 0;
    std::string name;
    if (line.front() == '@') {
      pos = 1;
    } else {
      name = quoted(line, pos);
    }
    while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t')) ++pos;
    if (pos >= line.size() || line[pos] != '=') fail("expected `=` after the value's name");
    std::string_view data = trim(line.substr(pos + 1));
    if (!key_) fail("a value must follow a key line [HKEY_...]");
    if (data == "-") {
      registry_.deleteValue(*key_, name);
      return;
    }
    registry_.setValue(*key_, name, parseData(data));
  }

  RegValue parseData(std::string_view data) {
    if (data.empty()) fail("a value needs data after `=`");
    if (data.front() == '"') {
      std::size_t pos = 0;
      std::string text = quoted(data, pos);
      if (!trim(data.substr(pos)).empty()) fail("unexpected text after a string's closing quote");
      return RegValue::string(text);
    }
    if (data.starts_with("dword:")) {
      const std::string_view digits = data.substr(6);
      if (digits.empty() || digits.size() > 8) fail("a dword needs 1 to 8 hex digits");
      std::uint32_t n = 0;
      for (char c : digits) {
        const int d = hexDigit(c);
        if (d < 0) fail(std::string("`") + c + "` is not a hex digit in a dword");
        n = (n << 4) | static_cast<std::uint32_t>(d);
      }
      return RegValue::dword(n);
    }
    if (data.starts_with("hex")) {
      std::uint32_t type = kRegBinary;
      std::size_t pos = 3;
      if (pos < data.size() && data[pos] == '(') {
        const std::size_t close = data.find(')', pos);
        if (close == std::string_view::npos || close == pos + 1 || close > pos + 9)
          fail("hex(N) needs a type number of 1 to 8 hex digits");
        type = 0;
        for (std::size_t i = pos + 1; i < close; ++i) {
          const int d = hexDigit(data[i]);
          if (d < 0) fail("hex(N) needs a type number in hex digits");
          type = (type << 4) | static_cast<std::uint32_t>(d);
        }
        pos = close + 1;
      }
      if (pos >= data.size() || data[pos] != ':') fail("expected `:` after hex or hex(N)");
      RegValue v;
      v.type = type;
      v.data = hexBytes(data.substr(pos + 1));
      if (ansi_ && (type == kRegExpandString || type == kRegMultiString)) {
        // REGEDIT4 wrote these as ANSI bytes.
        const std::string text = Codepage(1252).decode(
            std::string_view(reinterpret_cast<const char*>(v.data.data()), v.data.size()));
        const std::u16string wide = utf8ToUtf16(text);
        v.data.clear();
        for (char16_t c : wide) {
          v.data.push_back(static_cast<std::uint8_t>(c & 0xFF));
          v.data.push_back(static_cast<std::uint8_t>(c >> 8));
        }
      }
      return v;
    }
    fail("unknown value data (expected \"text\", dword:, hex:, hex(N): or -)");
  }

  // Comma-separated bytes; a line ending with a backslash goes on over the next line.
  std::vector<std::uint8_t> hexBytes(std::string_view text) {
    std::vector<std::uint8_t> bytes;
    for (;;) {
      text = trim(text);
      const bool more = !text.empty() && text.back() == '\\';
      if (more) text = trim(text.substr(0, text.size() - 1));
      std::size_t pos = 0;
      while (pos < text.size()) {
        const std::size_t comma = std::min(text.find(',', pos), text.size());
        const std::string_view item = trim(text.substr(pos, comma - pos));
        if (item.empty()) {
          // Only a trailing comma (before the end or a continuation) may leave an empty item.
          if (comma < text.size() || pos == 0) fail("an empty byte in a hex list");
        } else {
          if (item.size() > 2) fail("`" + std::string(item) + "` is not a byte (two hex digits)");
          int value = 0;
          for (char c : item) {
            const int d = hexDigit(c);
            if (d < 0) fail("`" + std::string(item) + "` is not a byte (two hex digits)");
            value = value * 16 + d;
          }
          bytes.push_back(static_cast<std::uint8_t>(value));
          if (bytes.size() > kMaxValueBytes) fail("a value of more than 1 MiB");
        }
        pos = comma + 1;
      }
      if (!more) return bytes;
      if (++index_ >= lines_.size()) {
        --index_;
        fail("a hex list ends with `\\` but no line follows");
      }
      text = lines_[index_];
    }
  }

  std::string_view source_;
  Registry& registry_;
  int lineBase_;
  std::vector<std::string_view> lines_;
  std::size_t index_ = 0;
  bool ansi_ = false;
  std::optional<std::string> key_;
};

}  // namespace

MachineTextError::MachineTextError(std::string_view source, int line, const std::string& what)
    : Error(std::string(source) + ":" + std::to_string(line) + ": " + what), line_(line) {}

bool isRegHeader(std::string_view line) {
  line = trim(line);
  return line == "Windows Registry Editor Version 5.00" || line == "REGEDIT4";
}

void applyRegText(std::string_view text, std::string_view source, Registry& registry,
                  int firstLine) {
  Parser(text, source, registry, firstLine).run();
}

std::string decodeTextFile(std::string_view bytes) {
  auto wide = [&](bool bigEndian) {
    std::u16string text;
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
      const auto a = static_cast<unsigned char>(bytes[i]);
      const auto b = static_cast<unsigned char>(bytes[i + 1]);
      text.push_back(static_cast<char16_t>(bigEndian ? (a << 8) | b : (b << 8) | a));
    }
    return utf16ToUtf8(text);
  };
  if (bytes.starts_with("\xFF\xFE")) return wide(false);
  if (bytes.starts_with("\xFE\xFF")) return wide(true);
  if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
  return std::string(bytes);
}

}  // namespace msi
