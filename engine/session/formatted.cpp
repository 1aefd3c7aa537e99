// One left-to-right pass that parses and resolves at once: a bracket's key is the text of
// its content after the nested brackets in it have been resolved, and a group is decided
// once its content has been resolved.
#include "engine/session/formatted.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace msi {
namespace {

enum class Scope { Top, Group, Bracket };

// The resolved text of a stretch of the template and what it held.
struct Piece {
  std::string out;
  bool anyReference = false;  // a property, record field, environment, file or component
  bool anyMissing = false;    // ... of which at least one resolved to ""
  bool holdsGroup = false;    // a closed group
  bool numericOnly = true;    // only digits, written or taken from record fields (a bracket
                              // key like this names a record field)
};

bool isDigits(std::string_view s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string_view firstCharacter(std::string_view s) {
  if (s.empty()) return s;
  const auto b = static_cast<unsigned char>(s.front());
  std::size_t len = 1;
  if (b >= 0xF0 && b <= 0xF7) len = 4;
  else if (b >= 0xE0) len = 3;
  else if (b >= 0xC0) len = 2;
  return s.substr(0, std::min(len, s.size()));
}

class Formatter {
 public:
  Formatter(std::string_view text, const SessionContext& context, const FormatOptions& options,
            std::span<const std::string> record, bool hasRecord)
      : text_(text), context_(context), options_(options), record_(record), hasRecord_(hasRecord) {}

  std::string run() {
    Piece all;
    sequence(all, Scope::Top, 0, 0);
    return std::move(all.out);
  }

 private:
  // Resolves text up to the scope's closing character; true when that character was found
  // (and consumed), false at the end of the text.
  bool sequence(Piece& into, Scope scope, std::size_t depth, std::size_t groupDepth) {
    while (pos_ < text_.size()) {
      const char c = text_[pos_];
      if ((scope == Scope::Bracket && c == ']') || (scope == Scope::Group && c == '}')) {
        ++pos_;
        return true;
      }
      if (c == '[') {
        bracket(into, depth, groupDepth);
        continue;
      }
      if (c == '{') {
        group(into, depth, groupDepth);
        continue;
      }
      const std::size_t start = pos_;
      while (pos_ < text_.size()) {
        const char d = text_[pos_];
        if (d == '[' || d == '{' || (scope == Scope::Bracket && d == ']') ||
            (scope == Scope::Group && d == '}'))
          break;
        if (d < '0' || d > '9') into.numericOnly = false;
        ++pos_;
      }
      into.out.append(text_.substr(start, pos_ - start));
    }
    return false;
  }

  void literalRest(Piece& into, std::size_t from) {
    into.out.append(text_.substr(from));
    into.numericOnly = false;
    pos_ = text_.size();
  }

  void bracket(Piece& into, std::size_t depth, std::size_t groupDepth) {
    const std::size_t open = pos_;
    if (depth >= kMaxFormatNesting) return literalRest(into, open);
    if (open + 1 < text_.size() && text_[open + 1] == '\\') {
      // [\x]: the escaped character ends at the first "]" after the backslash.
      const std::size_t close = text_.find(']', open + 2);
      if (close == std::string_view::npos) return literalRest(into, open);
      into.out.append(firstCharacter(text_.substr(open + 2, close - open - 2)));
      into.numericOnly = false;
      pos_ = close + 1;
      return;
    }
    ++pos_;
    Piece key;
    if (!sequence(key, Scope::Bracket, depth + 1, groupDepth)) return literalRest(into, open);
    into.anyReference |= key.anyReference;
    into.anyMissing |= key.anyMissing;
    into.holdsGroup |= key.holdsGroup;
    if (pos_ - open == 2) {  // written as "[]"
      into.out += "[]";
      into.numericOnly = false;
      return;
    }
    resolve(into, key);
  }

  void resolve(Piece& into, const Piece& key) {
    const std::string& k = key.out;
    const std::string_view rest = k.empty() ? std::string_view() : std::string_view(k).substr(1);
    if (!k.empty()) {
      switch (k.front()) {
        case '\\':
          into.out.append(firstCharacter(rest));
          into.numericOnly = false;
          return;
        case '~':
          if (k.size() == 1) into.out.push_back('\0');
          into.numericOnly = false;
          return;
        case '%': return reference(into, context_.environment(rest));
        case '#': return reference(into, context_.fileTargetPath(rest));
        case '!':
          return reference(into, options_.shortFilePaths ? context_.fileShortPath(rest)
                                                         : context_.fileTargetPath(rest));
        case '$': return reference(into, context_.componentDirectory(rest));
        default: break;
      }
    }
    if (isDigits(k)) {
      if (hasRecord_ && key.numericOnly) {
        const std::string value = recordField(k);
        into.out += value;
        into.anyReference = true;
        if (value.empty()) into.anyMissing = true;
        else if (!isDigits(value)) into.numericOnly = false;
        return;
      }
      into.out += "[" + k + "]";
      into.numericOnly = false;
      return;
    }
    reference(into, context_.property(k));
  }

  void reference(Piece& into, const std::optional<std::string>& value) {
    into.anyReference = true;
    into.numericOnly = false;
    if (!value || value->empty()) {
      into.anyMissing = true;
      return;
    }
    into.out += *value;
  }

  std::string recordField(std::string_view digits) const {
    std::uint64_t index = 0;
    for (char c : digits) {
      index = index * 10 + static_cast<std::uint64_t>(c - '0');
      if (index >= record_.size()) return {};  // also stops growth on long digit runs
    }
    if (index == 0) return std::string(text_);  // field 0 is the template itself, as written
    return record_[index];
  }

  void group(Piece& into, std::size_t depth, std::size_t groupDepth) {
    const std::size_t open = pos_;
    if (depth >= kMaxFormatNesting) return literalRest(into, open);
    ++pos_;
    Piece content;
    if (!sequence(content, Scope::Group, depth + 1, groupDepth + 1)) {
      // An ordinary "{": what followed it belongs to the enclosing text.
      into.out += '{';
      into.out += content.out;
      into.anyReference |= content.anyReference;
      into.anyMissing |= content.anyMissing;
      into.holdsGroup |= content.holdsGroup;
      into.numericOnly = false;
      return;
    }
    into.holdsGroup = true;
    into.numericOnly = false;
    const std::string_view raw = text_.substr(open + 1, pos_ - open - 2);
    if (raw.empty() || (raw.front() == '{' && raw.back() == '}')) return;
    if (content.holdsGroup || !content.anyReference) {
      into.out += '{' + content.out + '}';
      return;
    }
    if (content.anyMissing) return;
    if (groupDepth > 0) into.out += '{' + content.out + '}';
    else into.out += content.out;
  }

  std::string_view text_;
  const SessionContext& context_;
  const FormatOptions& options_;
  std::span<const std::string> record_;
  bool hasRecord_;
  std::size_t pos_ = 0;
};

}  // namespace

std::string formatText(std::string_view text, const SessionContext& context,
                       const FormatOptions& options) {
  return Formatter(text, context, options, {}, false).run();
}

std::string formatRecord(std::span<const std::string> fields, const SessionContext& context,
                         const FormatOptions& options) {
  std::vector<std::string> prepared(std::max<std::size_t>(fields.size(), 1));
  for (std::size_t i = 1; i < fields.size(); ++i)
    if (!fields[i].empty()) prepared[i] = formatText(fields[i], context, options);
  if (!fields.empty() && !fields[0].empty()) {
    prepared[0] = fields[0];
  } else {
    for (std::size_t i = 1; i < fields.size(); ++i)
      prepared[0] += std::to_string(i) + ": [" + std::to_string(i) + "] ";
  }
  return Formatter(prepared[0], context, options, prepared, true).run();
}

}  // namespace msi
