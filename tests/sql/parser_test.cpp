// Syntax: the statement forms, the lexical rules, and nesting and length limits. (The exact
// place each bad query fails: queries.txt.)
#include <gtest/gtest.h>

#include "engine/sql/parser.h"
#include "engine/sql/tokenizer.h"
#include "tests/sql/query_helpers.h"

namespace msi::sql {
namespace {

using fennick::test::errorOf;

std::string parseError(std::string_view sql) {
  return errorOf([&] { parse(sql); });
}

TEST(SqlTokenizer, ReadsNamesStringsNumbersAndOperators) {
  const auto tokens = tokenize("select `Property`,[Value] FROM t WHERE a!=-12 AND b<>'x y' AND c>=?");
  std::vector<TokenKind> kinds;
  for (const Token& t : tokens) kinds.push_back(t.kind);
  const std::vector<TokenKind> expected{
      TokenKind::Keyword, TokenKind::Name,  TokenKind::Comma,   TokenKind::Name,
      TokenKind::Keyword, TokenKind::Name,  TokenKind::Keyword, TokenKind::Name,
      TokenKind::Ne,      TokenKind::Minus, TokenKind::Integer, TokenKind::Keyword,
      TokenKind::Name,    TokenKind::Ne,    TokenKind::String,  TokenKind::Keyword,
      TokenKind::Name,    TokenKind::Ge,    TokenKind::Param,   TokenKind::End};
  EXPECT_EQ(kinds, expected);
  EXPECT_EQ(tokens[0].keyword, Keyword::Select);
  EXPECT_EQ(tokens[1].text, "Property");
  EXPECT_EQ(tokens[3].text, "Value");
  EXPECT_EQ(tokens[14].text, "x y");
  EXPECT_EQ(tokens[10].offset, 43u);
}

TEST(SqlTokenizer, OnlyTheDialectsWordsAreKeywords) {
  // ORDER is reserved, Property and File are not; CHARACTER and INTEGER are synonyms.
  const auto tokens = tokenize("Order Property File character Integer temporary");
  EXPECT_EQ(tokens[0].keyword, Keyword::Order);
  EXPECT_EQ(tokens[1].kind, TokenKind::Name);
  EXPECT_EQ(tokens[2].kind, TokenKind::Name);
  EXPECT_EQ(tokens[3].keyword, Keyword::Char);
  EXPECT_EQ(tokens[4].keyword, Keyword::Int);
  EXPECT_EQ(tokens[5].keyword, Keyword::Temporary);
}

TEST(SqlTokenizer, NamesMayHoldDashesAndUtf8ButNotStartWithADigit) {
  const auto tokens = tokenize("My-Table Größe 12abc");
  EXPECT_EQ(tokens[0].text, "My-Table");
  EXPECT_EQ(tokens[1].text, "Größe");
  EXPECT_EQ(tokens[2].kind, TokenKind::Integer);
  EXPECT_EQ(tokens[3].text, "abc");
}

TEST(SqlParser, SelectWithEveryClause) {
  const Query q = parse(
      "SELECT DISTINCT `Control`.`Dialog_`, Text FROM `Control`, Dialog "
      "WHERE (`Control`.`Dialog_` = `Dialog`.`Dialog` AND `Type` <> 'Line') OR Attributes >= ? "
      "ORDER BY `Dialog_`, Control");
  const auto& s = std::get<SelectStatement>(q.statement);
  EXPECT_TRUE(s.distinct);
  ASSERT_EQ(s.columns.size(), 2u);
  EXPECT_EQ(s.columns[0].table, "Control");
  EXPECT_EQ(s.columns[0].column, "Dialog_");
  EXPECT_EQ(s.columns[1].table, "");
  ASSERT_EQ(s.tables.size(), 2u);
  EXPECT_EQ(s.tables[1].name, "Dialog");
  ASSERT_TRUE(s.where.has_value());
  EXPECT_EQ(s.where->kind, Expr::Kind::Or);
  ASSERT_EQ(s.where->children.size(), 2u);
  EXPECT_EQ(s.where->children[0].kind, Expr::Kind::And);
  EXPECT_EQ(s.where->children[0].children[1].op, CompareOp::Ne);
  EXPECT_EQ(s.where->children[0].children[1].right.text, "Line");
  EXPECT_EQ(s.where->children[1].op, CompareOp::Ge);
  EXPECT_EQ(s.where->children[1].right.kind, Operand::Kind::Param);
  ASSERT_EQ(s.orderBy.size(), 2u);
  EXPECT_EQ(s.orderBy[1].column, "Control");
  EXPECT_EQ(q.paramCount, 1u);
}

TEST(SqlParser, AndBindsTighterThanOrAndChainsStayFlat) {
  const Query q = parse("SELECT * FROM t WHERE a = 1 OR b = 2 AND c = 3 AND d = 4 OR e IS NOT NULL");
  const Expr& e = *std::get<SelectStatement>(q.statement).where;
  ASSERT_EQ(e.kind, Expr::Kind::Or);
  ASSERT_EQ(e.children.size(), 3u);
  EXPECT_EQ(e.children[0].kind, Expr::Kind::Compare);
  ASSERT_EQ(e.children[1].kind, Expr::Kind::And);
  EXPECT_EQ(e.children[1].children.size(), 3u);
  EXPECT_EQ(e.children[2].op, CompareOp::IsNotNull);
}

TEST(SqlParser, ConstantsAndParametersNumberLeftToRight) {
  const Query q = parse("UPDATE t SET a = ?, b = -5, c = '' WHERE d = ? AND e = NULL AND f = 2147483647");
  const auto& s = std::get<UpdateStatement>(q.statement);
  EXPECT_EQ(q.paramCount, 2u);
  EXPECT_EQ(s.assignments[0].value.param, 0u);
  EXPECT_EQ(s.assignments[1].value.integer, -5);
  EXPECT_EQ(s.assignments[2].value.kind, Operand::Kind::Null);  // '' is null
  EXPECT_EQ(s.where->children[0].right.param, 1u);
  EXPECT_EQ(s.where->children[1].right.kind, Operand::Kind::Null);
  EXPECT_EQ(s.where->children[2].right.integer, 2147483647);
  EXPECT_EQ(std::get<SelectStatement>(parse("SELECT * FROM t WHERE a = -2147483648").statement)
                .where->right.integer,
            -2147483647 - 1);
}

TEST(SqlParser, DataStatements) {
  const Query ins = parse("INSERT INTO `Property` (`Property`, `Value`) VALUES ('A', ?) TEMPORARY");
  const auto& i = std::get<InsertStatement>(ins.statement);
  EXPECT_EQ(i.table.name, "Property");
  EXPECT_EQ(i.columns.size(), 2u);
  EXPECT_EQ(i.values[0].text, "A");
  EXPECT_TRUE(i.temporary);

  const Query del = parse("DELETE FROM t WHERE a < 3");
  const auto& d = std::get<DeleteStatement>(del.statement);
  EXPECT_EQ(d.table.name, "t");
  EXPECT_EQ(d.where->op, CompareOp::Lt);
  EXPECT_FALSE(std::get<DeleteStatement>(parse("delete from t").statement).where.has_value());
}

TEST(SqlParser, SchemaStatements) {
  const Query c = parse(
      "CREATE TABLE `T` (`A` CHAR(72) NOT NULL, `B` SHORT, `C` LONG TEMPORARY, `D` OBJECT, "
      "`E` LONGCHAR LOCALIZABLE, `F` CHARACTER, `G` INTEGER PRIMARY KEY `A`, `B`) HOLD");
  const auto& s = std::get<CreateTableStatement>(c.statement);
  ASSERT_EQ(s.columns.size(), 7u);
  EXPECT_EQ(s.columns[0].type, ColumnType::String);
  EXPECT_EQ(s.columns[0].width, 72);
  EXPECT_FALSE(s.columns[0].nullable);
  EXPECT_EQ(s.columns[1].width, 2);
  EXPECT_TRUE(s.columns[1].nullable);
  EXPECT_EQ(s.columns[2].width, 4);
  EXPECT_TRUE(s.columns[2].temporary);
  EXPECT_EQ(s.columns[3].type, ColumnType::Binary);
  EXPECT_TRUE(s.columns[4].localizable);
  EXPECT_EQ(s.columns[4].width, 0);
  EXPECT_EQ(s.columns[5].width, 1);  // a bare CHAR (or CHARACTER) is one character wide
  EXPECT_EQ(s.columns[6].width, 2);  // INT and INTEGER are two-byte columns
  ASSERT_EQ(s.primaryKey.size(), 2u);
  EXPECT_TRUE(s.hold);

  const Query alter = parse("ALTER TABLE t ADD `N` INT HOLD");
  const auto& a = std::get<AlterTableStatement>(alter.statement);
  EXPECT_EQ(a.action, AlterTableStatement::Action::AddColumn);
  EXPECT_EQ(a.column.name, "N");
  EXPECT_TRUE(a.hold);
  EXPECT_EQ(std::get<AlterTableStatement>(parse("ALTER TABLE t FREE").statement).action,
            AlterTableStatement::Action::Free);
  EXPECT_EQ(std::get<DropTableStatement>(parse("DROP TABLE `T`").statement).table.name, "T");
}

TEST(SqlParser, DeepNestingIsRefusedNotOverflowed) {
  std::string deep = "SELECT a FROM t WHERE " + std::string(10000, '(') + "a = 1" +
                     std::string(10000, ')');
  EXPECT_NE(parseError(deep).find("parentheses nest too deeply"), std::string::npos);
  std::string fine = "SELECT a FROM t WHERE " + std::string(30, '(') + "a = 1" + std::string(30, ')');
  EXPECT_EQ(parseError(fine), "");
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
