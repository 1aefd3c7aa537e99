// Formatted text: the installer's template language for Formatted columns (control text,
// registry values, custom action targets, ...) and for message records.
//
// Inside square brackets:
//   [Property]    the property's value; "" when unset
//   [[Property]]  brackets nest and resolve from the inside out: the inner result, joined
//                 with the text around it, names what the outer brackets resolve
//   [%Var]        environment variable
//   [#File]       full path of the file; [!File] its short path where FormatOptions asks for
//                 short paths (Registry and IniFile values), otherwise the same as [#File]
//   [$Component]  the component's directory
//   [\x]          the character x itself; anything after it up to "]" is dropped
//   [~]           a NUL character (multi-string registry values, environment prefixes)
//   [1] [2] ...   record fields (formatRecord); elsewhere, and when the digits come from
//                 a property or an escape rather than from record fields, left as written
//   []            left as written
// Curly braces group text:
//   {text}        no reference inside: left as written, braces included
//   {..[A]..}     every reference non-empty: the text without the braces; any reference
//                 empty or unset: the whole group disappears
//   {{...}}       a group whose content starts with "{" and ends with "}" disappears
//   {a{[B]}c}     a group holding another group keeps its braces, and so does the inner one
// A "[" without its "]" leaves the rest of the text (from that "[") as written; a "{"
// without its "}" is an ordinary character. Property values are inserted as they are, never
// formatted again.
//
// These rules follow the documentation of the Formatted type and MsiFormatRecord, and the
// native results recorded in Wine's conformance tests for the cases the documentation
// leaves open. Native also carries some state from one group to the next after a group
// that holds another group (a later "{[A]}" then keeps its braces); that is not reproduced.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

#include "engine/session/session_context.h"

namespace msi {

struct FormatOptions {
  // [!File] gives the short path (only the Registry and IniFile Value columns ask for it).
  bool shortFilePaths = false;
};

// Brackets and braces nested deeper than this are left as written.
inline constexpr std::size_t kMaxFormatNesting = 64;

std::string formatText(std::string_view text, const SessionContext& context,
                       const FormatOptions& options = {});

// fields[0] is the template (when empty: "1: [1] 2: [2] ..." over the other fields);
// fields[n] is record field n, itself formatted (without record fields) before it is
// inserted. An empty field is a null field.
std::string formatRecord(std::span<const std::string> fields, const SessionContext& context,
                         const FormatOptions& options = {});

}  // namespace msi
