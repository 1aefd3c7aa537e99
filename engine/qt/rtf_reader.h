// Rich text (a licence agreement's RTF) read as a stream of what it says: characters as UTF-8,
// control words with their parameter, group boundaries, and the fonts of its font table. The
// other header groups (colours, style sheets, document information, pictures) and optional
// destinations (`{\*...}`) say nothing a reader shows and are skipped. Special characters
// (\tab, \bullet, dashes, quotes, \~, \'hh read as Latin-1, \uN) arrive as text. Any input
// is read to its end without failing: broken groups and cut escapes give what they hold.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace msi::qt {

class RtfHandler {
 public:
  virtual ~RtfHandler() = default;
  virtual void text(std::string_view utf8) {}
  // A control word other than the special characters (\par, \b0, \fs20, \f1, ...).
  virtual void word(std::string_view word, std::optional<long> param) {}
  virtual void groupOpen() {}
  virtual void groupClose() {}
  // An entry of the font table: `{\f1\fswiss Tahoma;}` is font 1, "Tahoma".
  virtual void font(long number, const std::string& name) {}
};

void readRtf(std::string_view rtf, RtfHandler& handler);

}  // namespace msi::qt
