// Values of condition expressions and the comparison rules between them (see condition.h).
// Private to the session module.
#pragma once

#include <cstdint>
#include <string>

#include "engine/session/condition_lexer.h"

namespace msi::condition {

struct Operand {
  enum class Kind {
    Integer,  // integer literal, or the state number of a known feature/component
    Literal,  // "quoted text", or an unknown feature/component (empty)
    Symbol,   // property or environment value
  };
  Kind kind = Kind::Literal;
  std::int32_t integer = 0;
  std::string text;
};

// A value on its own: non-zero integer, non-empty text.
bool isTrue(const Operand& value);

bool compare(const Operand& left, CompareOp op, bool caseInsensitive, const Operand& right);

}  // namespace msi::condition
