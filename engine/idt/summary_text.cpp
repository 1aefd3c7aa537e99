#include "engine/idt/summary_text.h"

#include <cstdio>

#include "engine/idt/archive_text.h"
#include "engine/text/integers.h"

namespace msi::idt {
namespace {

constexpr std::int64_t kTicksPerSecond = 10'000'000;
constexpr std::int64_t kSecondsFrom1601To1970 = 11'644'473'600;

// Days since 1970-01-01 of a civil date (proleptic Gregorian).
std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void civilFromDays(std::int64_t z, std::int64_t& y, unsigned& m, unsigned& d) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  y = static_cast<std::int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = doy - (153 * mp + 2) / 5 + 1;
  m = mp < 10 ? mp + 3 : mp - 9;
  y += m <= 2;
}

bool isTimeProperty(std::uint32_t pid) {
  return pid == PID_LASTPRINTED || pid == PID_CREATE_DTM || pid == PID_LASTSAVE_DTM;
}
bool isIntegerProperty(std::uint32_t pid) {
  return pid == PID_CODEPAGE || pid == PID_PAGECOUNT || pid == PID_WORDCOUNT || pid == PID_CHARCOUNT ||
         pid == PID_SECURITY;
}

}  // namespace

std::string formatFileTime(const FileTime& t) {
  const std::int64_t seconds = static_cast<std::int64_t>(t.ticks / kTicksPerSecond) - kSecondsFrom1601To1970;
  std::int64_t days = seconds / 86400, rem = seconds % 86400;
  if (rem < 0) rem += 86400, --days;
  std::int64_t y;
  unsigned m, d;
  civilFromDays(days, y, m, d);
  char buf[40];
  std::snprintf(buf, sizeof buf, "%04lld/%02u/%02u %02lld:%02lld:%02lld", static_cast<long long>(y), m, d,
                static_cast<long long>(rem / 3600), static_cast<long long>(rem / 60 % 60),
                static_cast<long long>(rem % 60));
  return buf;
}

bool parseFileTime(std::string_view text, FileTime& out) {
  int y, mo, d, h, mi, s;
  char extra;
  const std::string copy(text);
  if (std::sscanf(copy.c_str(), "%d/%d/%d %d:%d:%d%c", &y, &mo, &d, &h, &mi, &s, &extra) != 6) return false;
  if (y < 1601 || y > 30827 || mo < 1 || mo > 12 || d < 1 || d > 31 || h < 0 || h > 23 || mi < 0 || mi > 59 ||
      s < 0 || s > 59)
    return false;
  const std::int64_t seconds = daysFromCivil(y, static_cast<unsigned>(mo), static_cast<unsigned>(d)) * 86400 +
                               h * 3600 + mi * 60 + s + kSecondsFrom1601To1970;
  out.ticks = static_cast<std::uint64_t>(seconds) * kTicksPerSecond;
  return true;
}

std::string summaryArchive(const SummaryInfo& info, const Codepage& codepage) {
  std::string out = "PropertyId\tValue\r\ni2\tl255\r\n_SummaryInformation\tPropertyId\r\n";
  for (const auto& [pid, value] : info.properties) {
    out += std::to_string(pid) + '\t';
    if (const auto* i = std::get_if<std::int32_t>(&value)) {
      out += std::to_string(*i);
    } else if (const auto* t = std::get_if<FileTime>(&value)) {
      out += formatFileTime(*t);
    } else {
      const std::string& s = std::get<std::string>(value);
      out += escapeValue(codepage.encode(s).value_or(s));
    }
    out += "\r\n";
  }
  return out;
}

void parseSummaryRows(const std::vector<std::string_view>& lines, const Codepage& codepage,
                      const std::string& where, SummaryInfo& info) {
  for (std::size_t i = 3; i < lines.size(); ++i) {
    if (lines[i].empty()) continue;
    const std::string at = where + ", line " + std::to_string(i + 1);
    const auto fields = splitFields(lines[i]);
    if (fields.size() != 2) throw Error(at + ": expected a property id and a value");
    const std::uint32_t pid = text::parseUInt32(fields[0]).value_or(0);
    if (pid == 0 || pid > 19)
      throw Error(at + ": `" + std::string(fields[0]) + "` is not a summary property id");
    const std::string value = codepage.decode(unescapeValue(fields[1]));
    if (isIntegerProperty(pid)) {
      const auto n = text::parseInt32(value);
      if (!n) throw Error(at + ": property " + std::to_string(pid) + " needs an integer, not `" + value + "`");
      info.properties[pid] = *n;
    } else if (isTimeProperty(pid)) {
      FileTime t;
      if (!parseFileTime(value, t))
        throw Error(at + ": property " + std::to_string(pid) + " needs a date YYYY/MM/DD hh:mm:ss, not `" +
                    value + "`");
      info.properties[pid] = t;
    } else {
      info.properties[pid] = value;
    }
  }
  info.changed = true;
}

}  // namespace msi::idt
