// Recursive-descent parser that evaluates as it parses. The whole text is always parsed, so
// a syntax error anywhere gives Error even when the value is already known.
#include "engine/session/condition.h"

#include <cstdio>

#include "engine/session/condition_compare.h"
#include "engine/session/condition_lexer.h"

namespace msi {
namespace {

using condition::Lexer;
using condition::Operand;
using condition::Token;
using condition::TokenKind;

struct SyntaxError {
  std::size_t offset;
  std::string cause;
};

// A token as quoted in a diagnostic; long literals and names are shortened.
std::string describe(const Token& t) {
  if (t.kind == TokenKind::End) return "end of condition";
  constexpr std::size_t kShown = 40;
  std::string text(t.text.substr(0, kShown));
  if (t.text.size() > kShown) text += "...";
  if (t.kind == TokenKind::Literal) return "`\"" + text + "\"`";
  return "`" + text + "`";
}

class Evaluator {
 public:
  Evaluator(std::string_view text, const SessionContext& context)
      : source_(text), lexer_(text), context_(context) {}

  ConditionResult run() {
    advance();
    if (current_.kind == TokenKind::End) return ConditionResult::None;
    const bool value = implication(0);
    if (current_.kind != TokenKind::End) fail("unexpected " + describe(current_));
    return value ? ConditionResult::True : ConditionResult::False;
  }

 private:
  void advance() {
    current_ = lexer_.next();
    if (current_.kind == TokenKind::Error) {
      std::string cause(current_.text);
      if (cause == "unexpected character") {
        const auto c = static_cast<unsigned char>(source_[current_.offset]);
        char shown[32];
        if (c >= 0x20 && c < 0x7F) std::snprintf(shown, sizeof shown, " `%c`", c);
        else std::snprintf(shown, sizeof shown, " 0x%02X", c);
        cause += shown;
      }
      fail(std::move(cause));
    }
  }
  [[noreturn]] void fail(std::string cause) const { throw SyntaxError{current_.offset, std::move(cause)}; }

  // Levels from the lowest precedence to the highest, each left-associative.
  bool implication(std::size_t depth) {
    bool v = equivalence(depth);
    while (current_.kind == TokenKind::Imp) {
      advance();
      const bool r = equivalence(depth);
      v = !v || r;
    }
    return v;
  }
  bool equivalence(std::size_t depth) {
    bool v = exclusiveOr(depth);
    while (current_.kind == TokenKind::Eqv) {
      advance();
      const bool r = exclusiveOr(depth);
      v = v == r;
    }
    return v;
  }
  bool exclusiveOr(std::size_t depth) {
    bool v = disjunction(depth);
    while (current_.kind == TokenKind::Xor) {
      advance();
      const bool r = disjunction(depth);
      v = v != r;
    }
    return v;
  }
  bool disjunction(std::size_t depth) {
    bool v = conjunction(depth);
    while (current_.kind == TokenKind::Or) {
      advance();
      const bool r = conjunction(depth);
      v = v || r;
    }
    return v;
  }
  bool conjunction(std::size_t depth) {
    bool v = negation(depth);
    while (current_.kind == TokenKind::And) {
      advance();
      const bool r = negation(depth);
      v = v && r;
    }
    return v;
  }
  // NOT chains are counted rather than recursed into, so "NOT NOT ... x" cannot overflow.
  bool negation(std::size_t depth) {
    bool invert = false;
    while (current_.kind == TokenKind::Not) {
      invert = !invert;
      advance();
    }
    const bool v = term(depth);
    return invert ? !v : v;
  }

  bool term(std::size_t depth) {
    if (current_.kind == TokenKind::LeftParen) {
      if (depth + 1 > kMaxConditionNesting)
        fail("parentheses nested deeper than " + std::to_string(kMaxConditionNesting));
      advance();
      const bool v = implication(depth + 1);
      if (current_.kind != TokenKind::RightParen)
        fail("expected `)` instead of " + describe(current_));
      advance();
      return v;
    }
    const Operand left = value();
    if (current_.kind != TokenKind::Compare) return condition::isTrue(left);
    const Token op = current_;
    advance();
    const Operand right = value();
    return condition::compare(left, op.op, op.caseInsensitive, right);
  }

  Operand value() {
    Operand v;
    switch (current_.kind) {
      case TokenKind::Identifier:
        v.kind = Operand::Kind::Symbol;
        v.text = context_.property(current_.text);
        advance();
        return v;
      case TokenKind::Literal:
        v.kind = Operand::Kind::Literal;
        v.text = std::string(current_.text);
        advance();
        return v;
      case TokenKind::Integer:
        v.kind = Operand::Kind::Integer;
        v.integer = current_.integer;
        advance();
        return v;
      case TokenKind::Percent: {
        const std::string_view name = prefixedName();
        v.kind = Operand::Kind::Symbol;
        v.text = context_.environment(name).value_or(std::string());
        return v;
      }
      case TokenKind::Dollar:
      case TokenKind::Question:
      case TokenKind::Ampersand:
      case TokenKind::Exclamation: {
        const TokenKind prefix = current_.kind;
        const std::string_view name = prefixedName();
        const bool isComponent = prefix == TokenKind::Dollar || prefix == TokenKind::Question;
        const std::optional<InstallStates> states =
            isComponent ? context_.componentStates(name) : context_.featureStates(name);
        if (!states) return v;  // unknown: the empty literal
        const bool wantsAction = prefix == TokenKind::Dollar || prefix == TokenKind::Ampersand;
        v.kind = Operand::Kind::Integer;
        v.integer = static_cast<std::int32_t>(wantsAction ? states->action : states->installed);
        return v;
      }
      default: fail("expected a value instead of " + describe(current_));
    }
  }

  // The name after one of the prefixes % $ ? & !.
  std::string_view prefixedName() {
    const Token prefix = current_;
    advance();
    if (current_.kind != TokenKind::Identifier)
      fail("expected a name after `" + std::string(prefix.text) + "` instead of " + describe(current_));
    const std::string_view name = current_.text;
    advance();
    return name;
  }

  std::string_view source_;
  Lexer lexer_;
  const SessionContext& context_;
  Token current_;
};

}  // namespace

ConditionEvaluation evaluateConditionDetailed(std::string_view condition,
                                              const SessionContext& context) {
  Evaluator evaluator(condition, context);
  try {
    return {evaluator.run(), {}};
  } catch (const SyntaxError& e) {
    constexpr std::size_t kShown = 200;
    std::string shown(condition.substr(0, kShown));
    if (condition.size() > kShown) shown += "...";
    return {ConditionResult::Error,
            "condition `" + shown + "`: " + e.cause + " at offset " + std::to_string(e.offset)};
  }
}

ConditionResult evaluateCondition(std::string_view condition, const SessionContext& context) {
  return evaluateConditionDetailed(condition, context).result;
}

}  // namespace msi
