// Limits of the parser: nesting and length. (The statement forms, the lexical rules and the
// exact place each bad query fails: queries.txt and the statement tests.)
#include <gtest/gtest.h>

#include "engine/sql/parser.h"
#include "tests/sql/query_helpers.h"

namespace msi::sql {
namespace {

using fennick::test::errorOf;

std::string parseError(std::string_view sql) {
  return errorOf([&] { parse(sql); });
}

TEST(SqlParser, DeepNestingIsRefusedNotOverflowed) {
  std::string deep = "SELECT a FROM t WHERE " + std::string(10000, '(') + "a = 1" +
                     std::string(10000, ')');
  EXPECT_NE(parseError(deep).find("parentheses nest too deeply"), std::string::npos);
  std::string fine = "SELECT a FROM t WHERE " + std::string(30, '(') + "a = 1" + std::string(30, ')');
  EXPECT_EQ(parseError(fine), "");
  // A long chain of AND and OR needs no nesting at all.
  std::string chain = "SELECT a FROM t WHERE a = 1";
  for (int i = 0; i < 100000; ++i) chain += i % 3 ? " AND a = 1" : " OR a = 1";
  EXPECT_EQ(parseError(chain), "");
}

TEST(SqlParser, LongQueriesAreShortenedInMessages) {
  const std::string sql = "SELECT " + std::string(500, 'x') + " FROM";
  const std::string message = parseError(sql);
  EXPECT_LT(message.size(), 400u);
  EXPECT_NE(message.find("...`: expected a table name, found end of query at offset 512"),
            std::string::npos);
}

}  // namespace
}  // namespace msi::sql
