// Text from packages, walks and errors as it may go to a terminal: control characters are
// shown as escapes, so that a package's strings cannot move the cursor, recolour or clear the
// screen of whoever runs the tool, and a report stays on the lines it was given.
#pragma once

#include <string>
#include <string_view>

namespace fennick::ui {

// Keep: LF and CRLF stay line breaks (message-box texts are laid out in lines).
// Escape: they become \n and \r too (one report, one line).
enum class LineBreaks { Keep, Escape };

// Tabs are kept. Every other C0 control, DEL and a lone CR becomes \xNN (\n, \r for the line
// breaks that are not kept); a C1 control (U+0080..U+009F) becomes \u00NN; a byte that is
// not part of valid UTF-8 becomes \xNN. Backslashes stay as they are: Windows paths are full
// of them, and the result is for reading, not for reading back.
std::string TerminalText(std::string_view text, LineBreaks breaks);

}  // namespace fennick::ui
