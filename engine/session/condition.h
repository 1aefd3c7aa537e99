// Condition expressions: the text in sequence tables, Condition, ControlCondition,
// ControlEvent, LaunchCondition and Component.Condition, evaluated against a session.
//
// Grammar (keywords and operators case-insensitive, names case-sensitive):
//   expression := imp
//   imp  := eqv  { IMP eqv }        lowest precedence
//   eqv  := xor  { EQV xor }
//   xor  := or   { XOR or }
//   or   := and  { OR and }
//   and  := not  { AND not }
//   not  := NOT not | term           highest precedence
//   term := "(" expression ")" | value [ operator value ]
//   value := Property | %Env | $Component | ?Component | &Feature | !Feature
//          | "literal" | integer
//   operator := = <> < > <= >= >< << >>  and each with a "~" prefix (no space inside)
// An empty or all-blank condition has no value (None); anything that does not parse is an
// Error, wherever the fault is.
//
// Values and comparisons:
// - An undefined property is "". A lone value is true when it is a non-zero integer or a
//   non-empty string ("0" is true).
// - `$ ? & !` give the action / installed state number of a known component or feature
//   (InstallState); an unknown one behaves as the empty string literal.
// - integer op integer: numeric; ~ changes nothing; >< is "any bit in common", << compares the
//   high 16 bits of the left side with the right side, >> the low 16 bits.
// - integer op string literal: false, except <> and ~<> which are true.
// - integer op property/environment value: numeric when the value is an integer
//   (optional "-", then digits only); otherwise false, except <> and ~<> which are true.
// - two strings: ordinal comparison by UTF-16 code units (~: case-insensitive), except that
//   when one side is a property/environment value and both are digit strings, they compare
//   as integers. Substring operators: false when the left side is empty, true when the right
//   side is empty, the integer forms when both sides are digit strings.
// - Integers are 32-bit; longer digit runs saturate.
//
// Where Wine's implementation departs from the documentation, we follow the documentation:
// - Precedence: the documentation orders NOT, AND, OR, XOR, EQV, IMP from high to low, as in
//   BASIC; Wine puts OR, XOR, EQV and IMP on one level, evaluated left to right. They differ
//   on mixed chains: `1 XOR 1 OR 1` is false here (1 XOR (1 OR 1)), true in Wine.
// Where neither the documentation nor Wine's conformance tests settle a point, we choose:
// - Blanks: space, tab, carriage return and line feed separate tokens; Wine accepts only the
//   space and reports an Error for the others, which packages authored with line breaks
//   inside a condition rely on working.
// - `~<<` and `~>>` between integers behave as `<<` and `>>` (the tilde only matters for
//   text); Wine returns false for them.
// Taken from Wine where the documentation is silent: an integer token is a run of digits,
// "-" and "." whose value is read up to the first non-digit ("1.5" is 1, "-" is 0); names
// start with a letter or "_" and go on with letters, digits, "_", ".", "-" and "#".
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "engine/session/session_context.h"

namespace msi {

// The installer's MSICONDITION numbers.
enum class ConditionResult : int { False = 0, True = 1, None = 2, Error = 3 };

// Deeper nesting of parentheses is reported as an Error rather than recursed into.
inline constexpr std::size_t kMaxConditionNesting = 200;

struct ConditionEvaluation {
  ConditionResult result = ConditionResult::None;
  // For Error: what is wrong and where, e.g. "condition `A = `: expected a value at offset 4".
  std::string diagnostic;
};

ConditionEvaluation evaluateConditionDetailed(std::string_view condition,
                                              const SessionContext& context);
ConditionResult evaluateCondition(std::string_view condition, const SessionContext& context);

}  // namespace msi
