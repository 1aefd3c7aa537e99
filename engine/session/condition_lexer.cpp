#include "engine/session/condition_lexer.h"

#include <array>
#include <limits>

namespace msi::condition {
namespace {

bool isAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool startsName(char c) { return isAsciiLetter(c) || c == '_'; }
bool startsInteger(char c) { return isDigit(c) || c == '-' || c == '.'; }
bool continuesName(char c) {
  return isAsciiLetter(c) || isDigit(c) || c == '_' || c == '.' || c == '-' || c == '#';
}

bool equalsIgnoringCase(std::string_view a, std::string_view keyword) {
  if (a.size() != keyword.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char c = a[i];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (c != keyword[i]) return false;
  }
  return true;
}

struct Spelling {
  std::string_view text;
  CompareOp op;
  bool caseInsensitive;
};

// Longer spellings first, so that "<>" is not read as "<" followed by ">".
constexpr std::array<Spelling, 17> kOperators{{
    {"~<=", CompareOp::LessEqual, true},    {"~><", CompareOp::Contains, true},
    {"~>>", CompareOp::EndsWith, true},     {"~<>", CompareOp::NotEqual, true},
    {"~>=", CompareOp::GreaterEqual, true}, {"~<<", CompareOp::StartsWith, true},
    {"~=", CompareOp::Equal, true},         {"~<", CompareOp::Less, true},
    {"~>", CompareOp::Greater, true},       {">=", CompareOp::GreaterEqual, false},
    {"><", CompareOp::Contains, false},     {"<<", CompareOp::StartsWith, false},
    {"<>", CompareOp::NotEqual, false},     {"<=", CompareOp::LessEqual, false},
    {">>", CompareOp::EndsWith, false},     {">", CompareOp::Greater, false},
    {"<", CompareOp::Less, false},
}};

}  // namespace

bool isConditionBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::int32_t leadingInteger(std::string_view text) {
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && text[i] == '-') {
    negative = true;
    ++i;
  }
  std::int64_t value = 0;
  constexpr std::int64_t kLimit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
  for (; i < text.size() && isDigit(text[i]); ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > kLimit) value = kLimit;  // saturate; keeps the product in range
  }
  if (negative) return value >= kLimit ? std::numeric_limits<std::int32_t>::min()
                                       : static_cast<std::int32_t>(-value);
  return value >= kLimit ? std::numeric_limits<std::int32_t>::max()
                         : static_cast<std::int32_t>(value);
}

Token Lexer::compareOperator(std::size_t start) {
  const std::string_view rest = source_.substr(start);
  for (const Spelling& s : kOperators) {
    if (rest.substr(0, s.text.size()) == s.text) {
      pos_ = start + s.text.size();
      Token t{TokenKind::Compare, start, source_.substr(start, s.text.size())};
      t.op = s.op;
      t.caseInsensitive = s.caseInsensitive;
      return t;
    }
  }
  // Only a lone "~" gets here ("~ =", "~not").
  pos_ = start + 1;
  return Token{TokenKind::Error, start, "`~` must be followed directly by a comparison operator"};
}

Token Lexer::next() {
  while (pos_ < source_.size() && isConditionBlank(source_[pos_])) ++pos_;
  const std::size_t start = pos_;
  if (start >= source_.size()) return Token{TokenKind::End, start, {}};

  const char c = source_[start];
  auto single = [&](TokenKind kind) {
    pos_ = start + 1;
    return Token{kind, start, source_.substr(start, 1)};
  };
  switch (c) {
    case '(': return single(TokenKind::LeftParen);
    case ')': return single(TokenKind::RightParen);
    case '%': return single(TokenKind::Percent);
    case '$': return single(TokenKind::Dollar);
    case '?': return single(TokenKind::Question);
    case '&': return single(TokenKind::Ampersand);
    case '!': return single(TokenKind::Exclamation);
    case '=': {
      Token t = single(TokenKind::Compare);
      t.op = CompareOp::Equal;
      return t;
    }
    case '~':
    case '<':
    case '>': return compareOperator(start);
    case '"': {
      const std::size_t close = source_.find('"', start + 1);
      if (close == std::string_view::npos) {
        pos_ = source_.size();
        return Token{TokenKind::Error, start, "string literal has no closing quote"};
      }
      pos_ = close + 1;
      return Token{TokenKind::Literal, start, source_.substr(start + 1, close - start - 1)};
    }
    default: break;
  }

  if (startsName(c)) {
    std::size_t end = start + 1;
    while (end < source_.size() && continuesName(source_[end])) ++end;
    pos_ = end;
    const std::string_view word = source_.substr(start, end - start);
    TokenKind kind = TokenKind::Identifier;
    if (equalsIgnoringCase(word, "NOT")) kind = TokenKind::Not;
    else if (equalsIgnoringCase(word, "AND")) kind = TokenKind::And;
    else if (equalsIgnoringCase(word, "OR")) kind = TokenKind::Or;
    else if (equalsIgnoringCase(word, "XOR")) kind = TokenKind::Xor;
    else if (equalsIgnoringCase(word, "EQV")) kind = TokenKind::Eqv;
    else if (equalsIgnoringCase(word, "IMP")) kind = TokenKind::Imp;
    return Token{kind, start, word};
  }
  if (startsInteger(c)) {
    std::size_t end = start + 1;
    while (end < source_.size() && startsInteger(source_[end])) ++end;
    pos_ = end;
    Token t{TokenKind::Integer, start, source_.substr(start, end - start)};
    t.integer = leadingInteger(t.text);
    return t;
  }
  pos_ = start + 1;
  return Token{TokenKind::Error, start, "unexpected character"};
}

}  // namespace msi::condition
