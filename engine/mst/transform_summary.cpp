// createTransformSummaryInfo: the summary information the installer reads before it applies
// a transform (which products and versions it fits, what errors to suppress).
#include <chrono>

#include "engine/cfb/compound_file.h"
#include "engine/mst/transform.h"
#include "engine/mst/transform_file.h"

namespace msi::mst {
namespace {

constexpr std::int32_t kSecurityReadOnlyEnforced = 4;
constexpr std::int32_t kDefaultSummaryCodepage = 1252;
const char* const kCreatingApplication = "Fennick";

// Value of `name` in the Property table, empty when absent.
std::string property(Database& db, std::string_view name) {
  if (!db.hasTable("Property")) return {};
  Table& t = db.table("Property");
  const auto i = t.find(Row{Value(name)});
  if (!i) return {};
  const Row& row = t.row(*i);
  return row.size() > 1 ? row[1].text() : std::string();
}

std::string required(Database& db, std::string_view name, std::string_view why) {
  std::string value = property(db, name);
  if (value.empty())
    throw Error(db.path().string() + ": the Property table has no " + std::string(name) + ", which " +
                std::string(why));
  return value;
}

std::optional<SummaryValue> summaryValue(Database& db, std::uint32_t pid) {
  const auto& props = db.summaryInfo().properties;
  const auto it = props.find(pid);
  if (it == props.end()) return std::nullopt;
  return it->second;
}

std::string summaryText(Database& db, std::uint32_t pid) {
  const auto v = summaryValue(db, pid);
  if (const auto* s = v ? std::get_if<std::string>(&*v) : nullptr) return *s;
  return {};
}

std::int32_t summaryInt(Database& db, std::uint32_t pid) {
  const auto v = summaryValue(db, pid);
  if (const auto* i = v ? std::get_if<std::int32_t>(&*v) : nullptr) return *i;
  return 0;
}

FileTime now() {
  // FILETIME counts 100-ns intervals from 1601; the Unix epoch is 11644473600 s later.
  const auto since = std::chrono::system_clock::now().time_since_epoch();
  const auto ticks = std::chrono::duration_cast<std::chrono::nanoseconds>(since).count() / 100;
  return FileTime{static_cast<std::uint64_t>(ticks) + 116444736000000000ull};
}

std::string hex(int v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%X", static_cast<unsigned>(v));
  return buf;
}

}  // namespace

void createTransformSummaryInfo(Database& changed, Database& reference,
                                const std::filesystem::path& mst, int errorConditions,
                                int validation, std::optional<FileTime> created, cfb::FileSystem& files) {
  if (errorConditions & ~kErrorConditionsMask)
    throw Error(mst.string() + ": error conditions " + hex(errorConditions) +
                " name bits other than 0x01..0x20");
  if (validation & ~kValidationMask)
    throw Error(mst.string() + ": validation flags " + hex(validation) + " name bits other than 0x0001..0x0800");

  const char* const why = "a transform's summary information records";
  const std::string baseCode = required(reference, "ProductCode", why);
  const std::string baseVersion = required(reference, "ProductVersion", why);
  const std::string newCode = required(changed, "ProductCode", why);
  const std::string newVersion = required(changed, "ProductVersion", why);
  std::string upgradeCode;
  if (validation & kValidateUpgradeCode) {
    const char* const upgradeWhy = "upgrade-code validation compares";
    upgradeCode = required(reference, "UpgradeCode", upgradeWhy);
    required(changed, "UpgradeCode", upgradeWhy);
  } else {
    upgradeCode = property(reference, "UpgradeCode");
    if (upgradeCode.empty()) upgradeCode = property(changed, "UpgradeCode");
  }

  SummaryInfo info;
  auto& p = info.properties;
  // Strings are copied from the reference package, so its codepage can hold them.
  const std::int32_t codepage = summaryInt(reference, PID_CODEPAGE);
  p[PID_CODEPAGE] = codepage ? codepage : kDefaultSummaryCodepage;
  for (const auto pid : {PID_TITLE, PID_SUBJECT, PID_AUTHOR, PID_KEYWORDS, PID_COMMENTS})
    p[pid] = summaryText(reference, pid);
  // Template: what the transform applies to; Last Saved By: what the database becomes.
  p[PID_TEMPLATE] = summaryText(reference, PID_TEMPLATE);
  p[PID_LASTAUTHOR] = summaryText(changed, PID_TEMPLATE);
  p[PID_REVNUMBER] = baseCode + baseVersion + ";" + newCode + newVersion + ";" + upgradeCode;
  p[PID_CREATE_DTM] = created.value_or(now());
  p[PID_PAGECOUNT] = std::max(summaryInt(reference, PID_PAGECOUNT), summaryInt(changed, PID_PAGECOUNT));
  p[PID_CHARCOUNT] = static_cast<std::int32_t>((static_cast<std::uint32_t>(validation) << 16) |
                                               static_cast<std::uint32_t>(errorConditions));
  p[PID_APPNAME] = std::string(kCreatingApplication);
  p[PID_SECURITY] = kSecurityReadOnlyEnforced;

  const Bytes bytes = info.serialize();
  const auto reader = cfb::Reader::open(mst);
  if (reader->rootClsid() != kTransformClsid)
    throw Error(mst.string() + ": not a transform (its root class is not that of transforms)");
  cfb::Editor editor(reader);
  editor.putStream({u"\u0005SummaryInformation"}, bytes);
  editor.commit(mst, files);
}

std::optional<int> storedErrorConditions(const std::filesystem::path& mst) {
  const auto summary = TransformFile::open(mst).summary();
  if (!summary) return std::nullopt;
  const auto it = summary->properties.find(PID_CHARCOUNT);
  if (it == summary->properties.end()) return std::nullopt;
  const auto* v = std::get_if<std::int32_t>(&it->second);
  if (!v) return std::nullopt;
  return static_cast<int>(static_cast<std::uint32_t>(*v) & 0xFFFF);
}

}  // namespace msi::mst
