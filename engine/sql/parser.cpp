#include "engine/sql/parser.h"

#include <cstdint>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "engine/sql/query_error.h"
#include "engine/sql/tokenizer.h"

namespace msi::sql {
namespace {

// Parentheses nest by recursion; a hostile query must not exhaust the stack.
constexpr int kMaxNesting = 64;

class Parser {
 public:
  explicit Parser(std::string_view query) : query_(query), tokens_(tokenize(query)) {}

  Query run() {
    Query result;
    result.text = std::string(query_);
    result.statement = statement();
    if (peek().kind != TokenKind::End)
      fail("unexpected " + describe(peek(), query_) + " after the end of the statement");
    result.paramCount = params_;
    return result;
  }

 private:
  const Token& peek(std::size_t ahead = 0) const {
    const std::size_t i = pos_ + ahead;
    return i < tokens_.size() ? tokens_[i] : tokens_.back();
  }
  const Token& next() {
    const Token& t = peek();
    if (pos_ + 1 < tokens_.size()) ++pos_;
    return t;
  }
  bool atKeyword(Keyword k) const {
    return peek().kind == TokenKind::Keyword && peek().keyword == k;
  }
  bool accept(Keyword k) {
    if (!atKeyword(k)) return false;
    next();
    return true;
  }
  bool accept(TokenKind kind) {
    if (peek().kind != kind) return false;
    next();
    return true;
  }

  [[noreturn]] void fail(const std::string& cause) const { throwAt(query_, cause, peek().offset); }
  [[noreturn]] void expected(std::string_view what) const {
    fail("expected " + std::string(what) + ", found " + describe(peek(), query_));
  }
  void expect(Keyword k, std::string_view word) {
    if (!accept(k)) expected(word);
  }
  void expect(TokenKind kind, std::string_view what) {
    if (!accept(kind)) expected(what);
  }

  Statement statement() {
    if (atKeyword(Keyword::Select)) return select();
    if (atKeyword(Keyword::Insert)) return insert();
    if (atKeyword(Keyword::Update)) return update();
    if (atKeyword(Keyword::Delete)) return remove();
    if (atKeyword(Keyword::Create)) return create();
    if (atKeyword(Keyword::Alter)) return alter();
    if (atKeyword(Keyword::Drop)) return drop();
    expected("SELECT, INSERT, UPDATE, DELETE, CREATE, ALTER or DROP");
  }

  // ---- names

  std::string name(std::string_view what) {
    if (peek().kind != TokenKind::Name) expected(what);
    return next().text;
  }
  TableName table() {
    const std::size_t offset = peek().offset;
    return TableName{name("a table name"), offset};
  }
  ColumnName column() {
    const std::size_t offset = peek().offset;
    std::string first = name("a column name");
    if (accept(TokenKind::Dot)) return ColumnName{std::move(first), name("a column name"), offset};
    return ColumnName{{}, std::move(first), offset};
  }
  std::vector<ColumnName> columnList() {
    std::vector<ColumnName> columns{column()};
    while (accept(TokenKind::Comma)) columns.push_back(column());
    return columns;
  }

  // ---- constants

  std::int32_t integer(bool negative) {
    const Token& t = peek();
    if (t.kind != TokenKind::Integer) expected("a number");
    // Magnitudes up to 2^31 fit when negative.
    const std::uint64_t limit =
        static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max()) + (negative ? 1 : 0);
    std::uint64_t value = 0;
    for (const char c : t.text) {
      value = value * 10 + static_cast<std::uint64_t>(c - '0');
      if (value > limit) fail(describe(t, query_) + " is out of range");
    }
    next();
    return negative ? static_cast<std::int32_t>(-static_cast<std::int64_t>(value))
                    : static_cast<std::int32_t>(value);
  }

  Operand constant() {
    Operand op;
    op.offset = peek().offset;
    if (accept(TokenKind::Minus)) {
      op.kind = Operand::Kind::Integer;
      op.integer = integer(true);
    } else if (peek().kind == TokenKind::Integer) {
      op.kind = Operand::Kind::Integer;
      op.integer = integer(false);
    } else if (peek().kind == TokenKind::String) {
      op.text = next().text;
      op.kind = op.text.empty() ? Operand::Kind::Null : Operand::Kind::String;
    } else if (accept(TokenKind::Param)) {
      op.kind = Operand::Kind::Param;
      op.param = params_++;
    } else if (accept(Keyword::Null)) {
      op.kind = Operand::Kind::Null;
    } else {
      expected("a value");
    }
    return op;
  }

  // ---- expressions

  Expr expression(int depth) {
    if (depth > kMaxNesting) fail("parentheses nest too deeply");
    Expr first = conjunction(depth);
    if (!atKeyword(Keyword::Or)) return first;
    Expr any;
    any.kind = Expr::Kind::Or;
    any.offset = first.offset;
    any.children.push_back(std::move(first));
    while (accept(Keyword::Or)) any.children.push_back(conjunction(depth));
    return any;
  }

  Expr conjunction(int depth) {
    Expr first = primary(depth);
    if (!atKeyword(Keyword::And)) return first;
    Expr all;
    all.kind = Expr::Kind::And;
    all.offset = first.offset;
    all.children.push_back(std::move(first));
    while (accept(Keyword::And)) all.children.push_back(primary(depth));
    return all;
  }

  Expr primary(int depth) {
    if (peek().kind == TokenKind::LParen) {
      next();
      Expr inner = expression(depth + 1);
      expect(TokenKind::RParen, "`)`");
      return inner;
    }
    return comparison();
  }

  Expr comparison() {
    Expr e;
    e.kind = Expr::Kind::Compare;
    e.offset = peek().offset;
    if (peek().kind != TokenKind::Name) expected("a column name");
    e.left.kind = Operand::Kind::Column;
    e.left.offset = peek().offset;
    e.left.column = column();
    if (accept(Keyword::Is)) {
      e.op = accept(Keyword::Not) ? CompareOp::IsNotNull : CompareOp::IsNull;
      expect(Keyword::Null, "NULL");
      return e;
    }
    switch (peek().kind) {
      case TokenKind::Eq: e.op = CompareOp::Eq; break;
      case TokenKind::Ne: e.op = CompareOp::Ne; break;
      case TokenKind::Lt: e.op = CompareOp::Lt; break;
      case TokenKind::Gt: e.op = CompareOp::Gt; break;
      case TokenKind::Le: e.op = CompareOp::Le; break;
      case TokenKind::Ge: e.op = CompareOp::Ge; break;
      default:
        if (atKeyword(Keyword::Like)) fail("LIKE is not supported");
        expected("a comparison operator");
    }
    next();
    if (peek().kind == TokenKind::Name) {
      e.right.kind = Operand::Kind::Column;
      e.right.offset = peek().offset;
      e.right.column = column();
    } else {
      e.right = constant();
    }
    return e;
  }

  std::optional<Expr> optionalWhere() {
    if (!accept(Keyword::Where)) return std::nullopt;
    return expression(0);
  }

  // ---- statements

  SelectStatement select() {
    next();  // SELECT
    SelectStatement s;
    s.distinct = accept(Keyword::Distinct);
    if (accept(TokenKind::Star)) {
      s.star = true;
    } else {
      do {
        // A quoted string in the column list names a column, as a name would.
        if (peek().kind == TokenKind::String) {
          const Token& t = next();
          if (t.text.empty()) throwAt(query_, "empty column name", t.offset);
          s.columns.push_back(ColumnName{{}, t.text, t.offset});
        } else {
          s.columns.push_back(column());
        }
      } while (accept(TokenKind::Comma));
    }
    expect(Keyword::From, "FROM");
    s.tables.push_back(table());
    while (accept(TokenKind::Comma)) s.tables.push_back(table());
    s.where = optionalWhere();
    if (accept(Keyword::Order)) {
      expect(Keyword::By, "BY");
      s.orderBy = columnList();
    }
    return s;
  }

  InsertStatement insert() {
    next();  // INSERT
    expect(Keyword::Into, "INTO");
    InsertStatement s;
    s.table = table();
    expect(TokenKind::LParen, "`(`");
    s.columns = columnList();
    expect(TokenKind::RParen, "`)`");
    expect(Keyword::Values, "VALUES");
    const std::size_t valuesOffset = peek().offset;
    expect(TokenKind::LParen, "`(`");
    s.values.push_back(constant());
    while (accept(TokenKind::Comma)) s.values.push_back(constant());
    expect(TokenKind::RParen, "`)`");
    if (s.values.size() != s.columns.size())
      throwAt(query_,
              std::to_string(s.columns.size()) + " columns but " +
                  std::to_string(s.values.size()) + " values",
              valuesOffset);
    s.temporary = accept(Keyword::Temporary);
    return s;
  }

  UpdateStatement update() {
    next();  // UPDATE
    UpdateStatement s;
    s.table = table();
    expect(Keyword::Set, "SET");
    do {
      Assignment a;
      a.column = column();
      expect(TokenKind::Eq, "`=`");
      a.value = constant();
      s.assignments.push_back(std::move(a));
    } while (accept(TokenKind::Comma));
    s.where = optionalWhere();
    return s;
  }

  DeleteStatement remove() {
    next();  // DELETE
    expect(Keyword::From, "FROM");
    DeleteStatement s;
    s.table = table();
    if (peek().kind == TokenKind::Comma) fail("DELETE works on one table");
    s.where = optionalWhere();
    return s;
  }

  ColumnDefinition columnDefinition() {
    ColumnDefinition d;
    d.offset = peek().offset;
    d.name = name("a column name");
    const Token& t = peek();
    if (t.kind != TokenKind::Keyword) expected("a column type");
    switch (t.keyword) {
      case Keyword::Char:
        next();
        d.type = ColumnType::String;
        d.width = 1;  // a bare CHAR holds one character, as the installer's parser has it
        if (accept(TokenKind::LParen)) {
          const std::size_t offset = peek().offset;
          const std::int32_t width = integer(false);
          if (width > 255) throwAt(query_, "string width must be 0 to 255", offset);
          d.width = width;
          expect(TokenKind::RParen, "`)`");
        }
        break;
      case Keyword::LongChar: next(); d.type = ColumnType::String; break;
      case Keyword::Short:
      case Keyword::Int: next(); d.type = ColumnType::Integer; d.width = 2; break;
      case Keyword::Long: next(); d.type = ColumnType::Integer; d.width = 4; break;
      case Keyword::Object: next(); d.type = ColumnType::Binary; break;
      default: expected("a column type");
    }
    if (accept(Keyword::Not)) {
      expect(Keyword::Null, "NULL");
      d.nullable = false;
    }
    if (accept(Keyword::Temporary))
      d.temporary = true;
    else if (accept(Keyword::Localizable))
      d.localizable = true;
    return d;
  }

  CreateTableStatement create() {
    next();  // CREATE
    expect(Keyword::Table, "TABLE");
    CreateTableStatement s;
    s.table = table();
    expect(TokenKind::LParen, "`(`");
    s.columns.push_back(columnDefinition());
    // The key list follows the last column directly; a comma before it is tolerated.
    while (!atKeyword(Keyword::Primary)) {
      if (!accept(TokenKind::Comma)) expected("`,` or PRIMARY KEY");
      if (atKeyword(Keyword::Primary)) break;
      s.columns.push_back(columnDefinition());
    }
    next();  // PRIMARY
    expect(Keyword::Key, "KEY");
    s.primaryKey = columnList();
    expect(TokenKind::RParen, "`)`");
    s.hold = accept(Keyword::Hold);
    return s;
  }

  AlterTableStatement alter() {
    next();  // ALTER
    expect(Keyword::Table, "TABLE");
    AlterTableStatement s;
    s.table = table();
    if (accept(Keyword::Hold)) {
      s.action = AlterTableStatement::Action::Hold;
    } else if (accept(Keyword::Free)) {
      s.action = AlterTableStatement::Action::Free;
    } else if (accept(Keyword::Add)) {
      s.action = AlterTableStatement::Action::AddColumn;
      s.column = columnDefinition();
      s.hold = accept(Keyword::Hold);
    } else {
      expected("ADD, HOLD or FREE");
    }
    return s;
  }

  DropTableStatement drop() {
    next();  // DROP
    expect(Keyword::Table, "TABLE");
    return DropTableStatement{table()};
  }

  std::string_view query_;
  std::vector<Token> tokens_;
  std::size_t pos_ = 0;
  std::size_t params_ = 0;
};

}  // namespace

Query parse(std::string_view query) { return Parser(query).run(); }

}  // namespace msi::sql
