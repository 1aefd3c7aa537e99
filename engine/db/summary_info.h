// Summary information: the property set stored in "\005SummaryInformation".
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <variant>

#include "engine/db/value.h"

namespace msi {

// FILETIME as stored: 100-ns intervals since 1601-01-01 UTC.
struct FileTime {
  std::uint64_t ticks = 0;
  bool operator==(const FileTime&) const = default;
};

enum SummaryProperty : std::uint32_t {
  PID_CODEPAGE = 1, PID_TITLE = 2, PID_SUBJECT = 3, PID_AUTHOR = 4, PID_KEYWORDS = 5,
  PID_COMMENTS = 6, PID_TEMPLATE = 7, PID_LASTAUTHOR = 8, PID_REVNUMBER = 9,
  PID_LASTPRINTED = 11, PID_CREATE_DTM = 12, PID_LASTSAVE_DTM = 13, PID_PAGECOUNT = 14,
  PID_WORDCOUNT = 15, PID_CHARCOUNT = 16, PID_APPNAME = 18, PID_SECURITY = 19,
};

// Strings are UTF-8 in memory, converted with PID_CODEPAGE at the file boundary.
using SummaryValue = std::variant<std::int32_t, std::string, FileTime>;

class SummaryInfo {
 public:
  std::map<std::uint32_t, SummaryValue> properties;  // ordered by id
  bool changed = false;                              // set by writers; commit writes the stream

  // Parse / build the property-set stream. Throw Error on malformed data.
  static SummaryInfo parse(const Bytes& stream, std::string_view where);
  Bytes serialize() const;
};

}  // namespace msi
