// Splits a query into tokens. Keywords are recognised case-insensitively; names may be
// bare, in backticks or in square brackets; strings are single-quoted with no escapes.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace msi::sql {

enum class TokenKind {
  End, Keyword, Name, String, Integer, Param,
  Comma, Dot, LParen, RParen, Star, Minus, Eq, Ne, Lt, Gt, Le, Ge,
};

enum class Keyword {
  None, Add, Alter, And, By, Char, Create, Delete, Distinct, Drop, Free, From, Hold, Insert,
  Int, Into, Is, Key, Like, Localizable, Long, LongChar, Not, Null, Object, Or, Order,
  Primary, Select, Set, Short, Table, Temporary, Update, Values, Where,
};

struct Token {
  TokenKind kind = TokenKind::End;
  Keyword keyword = Keyword::None;
  std::size_t offset = 0;  // byte offset of the token in the query
  std::size_t length = 0;
  std::string text;  // names and strings without their quotes; integers as their digits
};

// Throws Error("query `...`: <cause> at offset N") on a character that starts no token or
// an unterminated name or string. The last token is always End, at the query's length.
std::vector<Token> tokenize(std::string_view query);

// How a token reads in an error message: "FROM", "`Name`", "'text'", "end of query".
std::string describe(const Token& token, std::string_view query);

}  // namespace msi::sql
