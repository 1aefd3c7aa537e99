// summary: a package's summary information, printed or edited. Edits go through the
// database's commit, so the package holds either the old or the new property set.
#include <iterator>
#include <strings.h>

#include "engine/db/database.h"
#include "engine/idt/summary_text.h"
#include "tools/fennick_msi/command.h"
#include "tools/fennick_msi/json_writer.h"
#include "engine/text/integers.h"

namespace fennick::msicli {
namespace {

// Property names by id; empty where no property of a package has that id.
constexpr const char* kNames[] = {"", "Codepage", "Title", "Subject", "Author", "Keywords", "Comments",
                                  "Template", "LastSavedBy", "RevisionNumber", "EditTime", "LastPrinted",
                                  "Created", "LastSaved", "PageCount", "WordCount", "CharacterCount",
                                  "Thumbnail", "CreatingApplication", "Security"};

std::string nameOf(std::uint32_t pid) { return pid < std::size(kNames) ? kNames[pid] : "Unknown"; }

// A property by name (any case) or by id. EditTime and Thumbnail are not settable: packages
// do not carry them.
std::uint32_t propertyId(const std::string& name) {
  const auto number = msi::text::parseUInt32(name);
  std::uint32_t pid = number.value_or(0);
  if (!number) {
    for (std::uint32_t i = 1; i < std::size(kNames); ++i)
      if (::strcasecmp(name.c_str(), kNames[i]) == 0) pid = i;
  }
  if (pid == 0 || pid >= std::size(kNames) || pid == 10 || pid == 17)
    throw UsageError("`" + name + "` is not a summary property one can set (Codepage, Title, Subject, Author, "
                     "Keywords, Comments, Template, LastSavedBy, RevisionNumber, LastPrinted, Created, "
                     "LastSaved, PageCount, WordCount, CharacterCount, CreatingApplication, Security)");
  return pid;
}

// The value as the property stores it: a number, a time (YYYY/MM/DD hh:mm:ss, UTC) or text.
msi::SummaryValue parseValue(std::uint32_t pid, const std::string& text) {
  using namespace msi;
  if (pid == PID_LASTPRINTED || pid == PID_CREATE_DTM || pid == PID_LASTSAVE_DTM) {
    FileTime t;
    if (!idt::parseFileTime(text, t))
      throw UsageError(nameOf(pid) + " needs a time YYYY/MM/DD hh:mm:ss, not `" + text + "`");
    return t;
  }
  if (pid == PID_CODEPAGE || pid == PID_PAGECOUNT || pid == PID_WORDCOUNT || pid == PID_CHARCOUNT ||
      pid == PID_SECURITY) {
    const auto n = text::parseInt32(text);
    if (!n) throw UsageError(nameOf(pid) + " needs a whole number, not `" + text + "`");
    return *n;
  }
  return text;
}

std::string valueText(const msi::SummaryValue& value) {
  if (const auto* i = std::get_if<std::int32_t>(&value)) return std::to_string(*i);
  if (const auto* t = std::get_if<msi::FileTime>(&value)) return msi::idt::formatFileTime(*t);
  return std::get<std::string>(value);
}

int print(msi::Database& db, bool json, std::ostream& out) {
  const auto& properties = db.summaryInfo().properties;
  if (!json) {
    for (const auto& [pid, value] : properties) out << pid << '\t' << nameOf(pid) << '\t' << Field(valueText(value)) << '\n';
    return 0;
  }
  JsonWriter w(out);
  w.beginArray();
  for (const auto& [pid, value] : properties) {
    w.beginObject().key("id").number(pid).key("name").string(nameOf(pid)).key("value");
    if (const auto* i = std::get_if<std::int32_t>(&value)) w.number(*i);
    else w.string(valueText(value));
    w.endObject();
  }
  w.endArray();
  return 0;
}

}  // namespace

int Summary(const Args& given, std::ostream& out) {
  Args args = given;
  const bool json = TakeFlag(args, "--json");
  std::string package;
  std::vector<std::pair<std::uint32_t, std::string>> edits;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--set") {
      if (i + 1 >= args.size()) throw UsageError("--set needs NAME=VALUE");
      const std::string& edit = args[++i];
      const std::size_t eq = edit.find('=');
      if (eq == std::string::npos || eq == 0) throw UsageError("--set needs NAME=VALUE, not `" + edit + "`");
      edits.emplace_back(propertyId(edit.substr(0, eq)), edit.substr(eq + 1));
    } else if (package.empty() && !args[i].starts_with("--")) {
      package = args[i];
    } else {
      throw UsageError("unexpected argument `" + args[i] + "`");
    }
  }
  if (package.empty()) throw UsageError("needs a package");
  if (edits.empty()) {
    auto db = msi::Database::open(package, msi::OpenMode::ReadOnly);
    return print(*db, json, out);
  }
  if (json) throw UsageError("--json prints summary information; it does not go with --set");
  // Every value is checked before the package is opened for writing.
  std::vector<std::pair<std::uint32_t, std::optional<msi::SummaryValue>>> values;
  for (const auto& [pid, text] : edits)
    values.emplace_back(pid, text.empty() ? std::nullopt : std::optional(parseValue(pid, text)));
  auto db = msi::Database::open(package, msi::OpenMode::Transact);
  msi::SummaryInfo& info = db->summaryInfo();
  for (const auto& [pid, value] : values) {
    if (value) info.properties[pid] = *value;
    else info.properties.erase(pid);  // an empty value removes the property
  }
  info.changed = true;
  db->commit();
  return 0;
}

}  // namespace fennick::msicli
