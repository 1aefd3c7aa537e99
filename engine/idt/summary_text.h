// Summary information as a table archive: "PropertyId<TAB>Value" rows.
#pragma once

#include <string>
#include <string_view>

#include "engine/db/codepage.h"
#include "engine/db/summary_info.h"

namespace msi::idt {

std::string summaryArchive(const SummaryInfo& info, const Codepage& codepage);
// Parses the data rows (after the three header lines) into `info`. Throws Error naming the
// line on a bad property id or value.
void parseSummaryRows(const std::vector<std::string_view>& lines, const Codepage& codepage,
                      const std::string& where, SummaryInfo& info);

// FILETIME <-> "YYYY/MM/DD hh:mm:ss" (UTC).
std::string formatFileTime(const FileTime& t);
bool parseFileTime(std::string_view text, FileTime& out);

}  // namespace msi::idt
