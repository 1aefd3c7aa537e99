// The text conventions of table archives: control-character escapes, lines and fields.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace msi::idt {

// Control characters that would break the line/field structure are written as other bytes.
std::string escapeValue(std::string_view raw);
std::string unescapeValue(std::string_view stored);
// Whether a table name can name the folder of its binary cells beside the archive (no
// separators, no "." or "..", no control characters).
bool usableAsFolderName(std::string_view name);
// Whether unescapeValue would change `stored`.
bool hasEscapes(std::string_view stored);
// Appends escapeValue(raw) to `out`.
void appendEscaped(std::string& out, std::string_view raw);

// Splits on LF, dropping one CR before it; a final empty line (after the last LF) is dropped.
std::vector<std::string_view> splitLines(std::string_view text);
std::vector<std::string_view> splitFields(std::string_view line);

}  // namespace msi::idt
