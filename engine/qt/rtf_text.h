// The plain text of a ScrollableText control's rich text (a licence agreement): paragraphs
// and characters kept, formatting and the header groups (fonts, colours, styles) dropped.
#pragma once

#include <string>
#include <string_view>

namespace msi::qt {

// Text that does not start with `{\rtf` is returned as it is. Escaped 8-bit characters
// (\'hh) are read as Latin-1 and returned as UTF-8, \uN as that code point.
std::string rtfToPlainText(std::string_view rtf);

}  // namespace msi::qt
