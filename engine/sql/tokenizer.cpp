#include "engine/sql/tokenizer.h"

#include <array>
#include <utility>

#include "engine/sql/query_error.h"

namespace msi::sql {
namespace {

struct KeywordName {
  std::string_view name;
  Keyword keyword;
};

// The installer dialect reserves only these words; anything else is a name.
constexpr std::array<KeywordName, 37> kKeywords{{
    {"ADD", Keyword::Add},           {"ALTER", Keyword::Alter},
    {"AND", Keyword::And},           {"BY", Keyword::By},
    {"CHAR", Keyword::Char},         {"CHARACTER", Keyword::Char},
    {"CREATE", Keyword::Create},     {"DELETE", Keyword::Delete},
    {"DISTINCT", Keyword::Distinct}, {"DROP", Keyword::Drop},
    {"FREE", Keyword::Free},         {"FROM", Keyword::From},
    {"HOLD", Keyword::Hold},         {"INSERT", Keyword::Insert},
    {"INT", Keyword::Int},           {"INTEGER", Keyword::Int},
    {"INTO", Keyword::Into},         {"IS", Keyword::Is},
    {"KEY", Keyword::Key},           {"LIKE", Keyword::Like},
    {"LOCALIZABLE", Keyword::Localizable}, {"LONG", Keyword::Long},
    {"LONGCHAR", Keyword::LongChar}, {"NOT", Keyword::Not},
    {"NULL", Keyword::Null},         {"OBJECT", Keyword::Object},
    {"OR", Keyword::Or},             {"ORDER", Keyword::Order},
    {"PRIMARY", Keyword::Primary},   {"SELECT", Keyword::Select},
    {"SET", Keyword::Set},           {"SHORT", Keyword::Short},
    {"TABLE", Keyword::Table},       {"TEMPORARY", Keyword::Temporary},
    {"UPDATE", Keyword::Update},     {"VALUES", Keyword::Values},
    {"WHERE", Keyword::Where},
}};

Keyword keywordOf(std::string_view word) {
  for (const auto& k : kKeywords) {
    if (k.name.size() != word.size()) continue;
    bool same = true;
    for (std::size_t i = 0; i < word.size() && same; ++i) {
      char c = word[i];
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
      same = c == k.name[i];
    }
    if (same) return k.keyword;
  }
  return Keyword::None;
}

bool isSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}
bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Bare names: letters, digits, '_' and any byte of a multi-byte UTF-8 sequence; also 0x05,
// which starts the summary-information stream name. '-' may continue a name but not
// start one, where it is a minus sign.
bool startsName(char c) {
  const auto u = static_cast<unsigned char>(c);
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || u >= 0x80 || u == 0x05;
}
bool continuesName(char c) { return startsName(c) || isDigit(c) || c == '-'; }

}  // namespace

std::vector<Token> tokenize(std::string_view query) {
  std::vector<Token> tokens;
  std::size_t i = 0;
  const std::size_t n = query.size();
  auto push = [&](TokenKind kind, std::size_t start, std::size_t length, std::string text = {},
                  Keyword keyword = Keyword::None) {
    tokens.push_back(Token{kind, keyword, start, length, std::move(text)});
  };
  while (i < n) {
    const char c = query[i];
    const std::size_t start = i;
    if (isSpace(c)) {
      ++i;
      continue;
    }
    switch (c) {
      case ',': push(TokenKind::Comma, start, 1); ++i; continue;
      case '.': push(TokenKind::Dot, start, 1); ++i; continue;
      case '(': push(TokenKind::LParen, start, 1); ++i; continue;
      case ')': push(TokenKind::RParen, start, 1); ++i; continue;
      case '*': push(TokenKind::Star, start, 1); ++i; continue;
      case '-': push(TokenKind::Minus, start, 1); ++i; continue;
      case '?': push(TokenKind::Param, start, 1); ++i; continue;
      case '=': push(TokenKind::Eq, start, 1); ++i; continue;
      case '<':
        if (i + 1 < n && query[i + 1] == '=') {
          push(TokenKind::Le, start, 2);
          i += 2;
        } else if (i + 1 < n && query[i + 1] == '>') {
          push(TokenKind::Ne, start, 2);
          i += 2;
        } else {
          push(TokenKind::Lt, start, 1);
          ++i;
        }
        continue;
      case '>':
        if (i + 1 < n && query[i + 1] == '=') {
          push(TokenKind::Ge, start, 2);
          i += 2;
        } else {
          push(TokenKind::Gt, start, 1);
          ++i;
        }
        continue;
      case '!':
        if (i + 1 < n && query[i + 1] == '=') {
          push(TokenKind::Ne, start, 2);
          i += 2;
          continue;
        }
        throwAt(query, "unexpected character `!`", start);
      case '`':
      case '\'': {
        const std::size_t close = query.find(c, i + 1);
        if (close == std::string_view::npos)
          throwAt(query, c == '`' ? "unterminated name" : "unterminated string", start);
        std::string body(query.substr(i + 1, close - i - 1));
        if (c == '`' && body.empty()) throwAt(query, "empty name", start);
        push(c == '`' ? TokenKind::Name : TokenKind::String, start, close + 1 - start,
             std::move(body));
        i = close + 1;
        continue;
      }
      case '[': {
        const std::size_t close = query.find(']', i + 1);
        if (close == std::string_view::npos) throwAt(query, "unterminated name", start);
        std::string body(query.substr(i + 1, close - i - 1));
        if (body.empty()) throwAt(query, "empty name", start);
        push(TokenKind::Name, start, close + 1 - start, std::move(body));
        i = close + 1;
        continue;
      }
      default:
        break;
    }
    if (isDigit(c)) {
      while (i < n && isDigit(query[i])) ++i;
      push(TokenKind::Integer, start, i - start, std::string(query.substr(start, i - start)));
      continue;
    }
    if (startsName(c)) {
      while (i < n && continuesName(query[i])) ++i;
      const std::string_view word = query.substr(start, i - start);
      const Keyword keyword = keywordOf(word);
      push(keyword == Keyword::None ? TokenKind::Name : TokenKind::Keyword, start, i - start,
           std::string(word), keyword);
      continue;
    }
    const auto u = static_cast<unsigned char>(c);
    std::string shown = u >= 0x20 && u < 0x7f ? std::string("`") + c + "`"
                                               : "byte " + std::to_string(u);
    throwAt(query, "unexpected character " + shown, start);
  }
  push(TokenKind::End, n, 0);
  return tokens;
}

namespace {

std::string describeFully(const Token& token, std::string_view query) {
  switch (token.kind) {
    case TokenKind::End: return "end of query";
    case TokenKind::Name: return "name " + backticked(token.text);
    case TokenKind::String: return "string '" + printable(token.text) + "'";
    case TokenKind::Integer: return "number " + token.text;
    case TokenKind::Keyword: {
      std::string word = token.text;
      for (char& c : word)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
      return word;
    }
    default: return "`" + std::string(query.substr(token.offset, token.length)) + "`";
  }
}

}  // namespace

std::string describe(const Token& token, std::string_view query) {
  constexpr std::size_t kLongest = 64;
  std::string text = describeFully(token, query);
  if (text.size() > kLongest) text = text.substr(0, kLongest) + "...";
  return text;
}

}  // namespace msi::sql
