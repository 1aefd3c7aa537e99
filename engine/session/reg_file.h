// Registry text as Windows' registry editor exports it, so that keys exported from a real
// machine can be used as they are:
//
//   Windows Registry Editor Version 5.00        (or REGEDIT4)
//   ; a comment
//   [HKEY_LOCAL_MACHINE\SOFTWARE\Vendor\App]     a key (created with the keys above it)
//   @="default value"                            the key's default value
//   "Name"="text with \" and \\"                 a string (REG_SZ)
//   "Count"=dword:0000002a                       a DWORD, 1 to 8 hex digits
//   "Data"=hex:01,ff,20                          binary (REG_BINARY)
//   "Path"=hex(2):25,00,54,00,00,00              any type by number: 2 expandable string,
//   "List"=hex(7):61,00,00,00,00,00              7 multi-string, b QWORD, 0 none ...;
//     a hex list goes on over lines that end with a backslash
//   "Old"=-                                      deletes the value
//   [-HKEY_CURRENT_USER\Software\Old]            deletes the key and everything below it
//
// Under REGEDIT4 the bytes of hex(2) and hex(7) are ANSI (Windows-1252) text, as that format
// writes them; under version 5 they are UTF-16LE.
#pragma once

#include <string>
#include <string_view>

#include "engine/db/value.h"
#include "engine/session/registry.h"

namespace msi {

// A fault in registry or machine text, named by source and line ("app.reg:12: ...").
class MachineTextError : public Error {
 public:
  MachineTextError(std::string_view source, int line, const std::string& what);
  int line() const { return line_; }

 private:
  int line_;
};

// Applies .reg text to `registry`. `source` names the text in errors; `firstLine` is the line
// number of the text's first line (registry content inside a machine file). The text must
// start with the header line (blank and comment lines may come before it). Throws
// MachineTextError.
void applyRegText(std::string_view text, std::string_view source, Registry& registry,
                  int firstLine = 1);

// Whether a line is a .reg header line.
bool isRegHeader(std::string_view line);

// A text file's bytes as UTF-8: UTF-16LE or UTF-16BE with a byte-order mark (what the
// registry editor writes), or UTF-8 with or without one.
std::string decodeTextFile(std::string_view bytes);

}  // namespace msi
