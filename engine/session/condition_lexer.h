// Tokens of condition expressions (see condition.h for the language). Private to the session
// module.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace msi::condition {

// Comparison operators; `caseInsensitive` records the "~" prefix separately.
enum class CompareOp { Equal, NotEqual, Less, Greater, LessEqual, GreaterEqual, Contains, StartsWith, EndsWith };

enum class TokenKind {
  End,
  Error,       // text holds the cause
  LeftParen,
  RightParen,
  Not,
  And,
  Or,
  Xor,
  Eqv,
  Imp,
  Compare,     // op + caseInsensitive
  Percent,     // %Env
  Dollar,      // $Component action state
  Question,    // ?Component installed state
  Ampersand,   // &Feature action state
  Exclamation, // !Feature installed state
  Identifier,  // text
  Integer,     // integer
  Literal,     // text, without the quotes
};

struct Token {
  TokenKind kind = TokenKind::End;
  std::size_t offset = 0;  // byte offset of the token in the condition
  std::string_view text;
  std::int32_t integer = 0;
  CompareOp op = CompareOp::Equal;
  bool caseInsensitive = false;
};

class Lexer {
 public:
  explicit Lexer(std::string_view source) : source_(source) {}
  // The next token; End forever once the text is used up, Error at a bad character.
  Token next();

 private:
  Token compareOperator(std::size_t start);

  std::string_view source_;
  std::size_t pos_ = 0;
};

// Blanks between tokens: space, tab, carriage return, line feed.
bool isConditionBlank(char c);

// Reads an integer the way the installer does: optional "-", then digits up to the first
// other character; saturates at the 32-bit limits; 0 when no digit follows.
std::int32_t leadingInteger(std::string_view text);

}  // namespace msi::condition
