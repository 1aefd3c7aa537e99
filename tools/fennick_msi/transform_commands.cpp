// transform generate | apply | show | check, and diff: transforms from the command line.
#include <stdlib.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string_view>
#include <system_error>

#include "engine/db/database.h"
#include "engine/mst/transform.h"
#include "tools/fennick_msi/command.h"
#include "tools/fennick_msi/json_writer.h"
#include "tools/fennick_msi/output_file.h"
#include "engine/text/integers.h"

namespace fennick::msicli {
namespace {
namespace fs = std::filesystem;

constexpr int kNothingToWrite = 3;

// Decimal, or hexadecimal with 0x.
int flagValue(const std::string& option, const std::string& text) {
  const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
  const std::string digits = hex ? text.substr(2) : text;
  char* end = nullptr;
  errno = 0;
  const unsigned long v = digits.empty() ? 0 : std::strtoul(digits.c_str(), &end, hex ? 16 : 10);
  if (digits.empty() || *end != '\0' || errno != 0 || v > 0xFFFF || digits[0] == '-' || digits[0] == '+')
    throw UsageError(option + " needs a number from 0 to 0xFFFF, not `" + text + "`");
  return static_cast<int>(v);
}

// Positional arguments, and the values of the options in `options` (each takes one value).
struct Parsed {
  std::vector<std::string> positional;
  std::vector<std::pair<std::string, std::string>> options;
};

Parsed parse(const Args& args, std::size_t from, std::initializer_list<std::string_view> options) {
  Parsed p;
  for (std::size_t i = from; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a.size() > 2 && a.rfind("--", 0) == 0) {
      if (std::find(options.begin(), options.end(), a) == options.end()) throw UsageError("unknown option " + a);
      if (i + 1 >= args.size()) throw UsageError(a + " needs a value");
      p.options.emplace_back(a, args[++i]);
    } else {
      p.positional.push_back(a);
    }
  }
  return p;
}

// SOURCE_DATE_EPOCH, when set, fixes the creation time so that builds are reproducible.
std::optional<msi::FileTime> reproducibleTime() {
  const char* epoch = std::getenv("SOURCE_DATE_EPOCH");
  if (!epoch || !*epoch) return std::nullopt;
  const auto seconds = msi::text::parseUInt64(epoch);
  if (!seconds || *seconds > 0x7FFFFFFFFFull) return std::nullopt;
  return msi::FileTime{(*seconds + 11644473600ull) * 10000000ull};
}

int Generate(const Args& args, std::ostream& out) {
  const Parsed p = parse(args, 1, {"--errors", "--validation"});
  if (p.positional.size() != 3) throw UsageError("transform generate needs NEW, BASE and OUT.mst");
  int errors = 0, validation = 0;
  for (const auto& [option, value] : p.options) (option == "--errors" ? errors : validation) = flagValue(option, value);
  auto changed = msi::Database::open(p.positional[0], msi::OpenMode::ReadOnly);
  auto reference = msi::Database::open(p.positional[1], msi::OpenMode::ReadOnly);
  const fs::path target = p.positional[2];
  refuseInputAsOutput(target, {p.positional[0], p.positional[1]});
  // Transform and summary are made beside the target and renamed over it together, so a
  // failure leaves whatever stood there as it was.
  const fs::path mst = temporaryBeside(target);
  std::error_code ec;
  try {
    if (!msi::mst::generateTransform(*changed, *reference, mst)) {
      fs::remove(mst, ec);
      std::cerr << "fennick-msi transform generate: " << p.positional[0] << " and " << p.positional[1]
                << " do not differ; no transform written\n";
      return kNothingToWrite;
    }
    msi::mst::createTransformSummaryInfo(*changed, *reference, mst, errors, validation, reproducibleTime());
    replaceWith(mst, target);
  } catch (...) {
    fs::remove(mst, ec);
    throw;
  }
  out << target.string() << '\n';
  return 0;
}

int Apply(const Args& args, std::ostream& out) {
  const Parsed p = parse(args, 1, {"--errors"});
  if (p.positional.size() != 3) throw UsageError("transform apply needs BASE, MST and OUT.msi");
  const fs::path base = p.positional[0], mst = p.positional[1], target = p.positional[2];
  refuseInputAsOutput(target, {base, mst});
  // The error conditions the transform carries, as the installer uses them, unless given.
  int errors = msi::mst::storedErrorConditions(mst).value_or(0) & msi::mst::kErrorConditionsMask;
  for (const auto& [option, value] : p.options) errors = flagValue(option, value);

  // Work on a copy beside the target and rename it into place only when all went well.
  std::error_code ec;
  const fs::path temp = temporaryBeside(target);
  fs::copy_file(base, temp, fs::copy_options::overwrite_existing, ec);
  if (ec) throw msi::Error(temp.string() + ": cannot copy " + base.string() + ": " + ec.message());
  // A read-only package (a shared fixture, a CD) gives a copy we must still write.
  fs::permissions(temp, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::add, ec);
  try {
    auto db = msi::Database::open(temp, msi::OpenMode::Transact);
    msi::mst::applyTransform(*db, mst, errors);
    db->commit();
    db.reset();
    fs::rename(temp, target, ec);
    if (ec) throw msi::Error(target.string() + ": cannot write: " + ec.message());
  } catch (...) {
    fs::remove(temp, ec);
    throw;
  }
  out << target.string() << '\n';
  return 0;
}

// Changes as `transform show` prints them: one tab-separated line each, or one JSON array
// whose binary cells name their stream ("Table.key") instead of describing it.
void printChanges(const std::vector<msi::mst::Change>& changes, bool json, std::ostream& out) {
  if (!json) {
    for (const auto& change : changes) out << msi::mst::formatChange(change) << '\n';
    return;
  }
  static const char* const kOperations[] = {"add-table", "drop-table", "add-column", "insert",
                                            "update",    "delete",     "codepage",   "undecoded"};
  const auto cell = [](const msi::mst::Change& c, const std::string& value) {
    return c.binary && !value.empty() ? c.table + "." + c.key : value;
  };
  JsonWriter w(out);
  w.beginArray();
  for (const auto& c : changes)
    w.beginObject()
        .key("operation").string(kOperations[c.kind])
        .key("table").string(c.table)
        .key("key").string(c.key)
        .key("column").string(c.column)
        .key("old").string(cell(c, c.oldValue))
        .key("new").string(cell(c, c.newValue))
        .endObject();
  w.endArray();
}

int Show(const Args& given, std::ostream& out) {
  Args args = given;
  const bool json = TakeFlag(args, "--json");
  if (args.size() != 2 && args.size() != 3) throw UsageError("transform show needs MST and optionally BASE");
  std::unique_ptr<msi::Database> base;
  if (args.size() == 3) base = msi::Database::open(args[2], msi::OpenMode::ReadOnly);
  printChanges(msi::mst::describeTransform(args[1], base.get()), json, out);
  return 0;
}

// A private folder for a transform nobody else should see, removed with everything in it.
class PrivateFolder {
 public:
  PrivateFolder() {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = (fs::path(tmp && *tmp ? tmp : "/tmp") / "fennick-msi-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
      throw msi::Error(pattern + ": cannot create a private folder: " + std::strerror(errno));
    path_ = pattern;
  }
  ~PrivateFolder() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

// The package with the transform, as a silent installation sees it before ExecuteAction.
int Check(const Args& given, std::ostream& out) {
  Args args = given;
  const bool json = TakeFlag(args, "--json");
  if (args.size() != 3) throw UsageError("transform check needs PKG and MST");
  Args session = {args[1], "--transform", args[2], "--ui-level", "2"};
  if (json) session.push_back("--json");
  return Session(session, out);
}

}  // namespace

// The transform from A to B is generated into a private folder and described with A as its
// base, so the lines are exactly those `transform show` prints for such a transform.
int Diff(const Args& given, std::ostream& out) {
  Args args = given;
  const bool json = TakeFlag(args, "--json");
  if (args.size() != 2) throw UsageError("diff needs A and B");
  auto a = msi::Database::open(args[0], msi::OpenMode::ReadOnly);
  auto b = msi::Database::open(args[1], msi::OpenMode::ReadOnly);
  const PrivateFolder folder;
  const fs::path mst = folder.path() / "diff.mst";
  std::vector<msi::mst::Change> changes;
  if (msi::mst::generateTransform(*b, *a, mst)) changes = msi::mst::describeTransform(mst, a.get());
  printChanges(changes, json, out);
  return 0;
}

int Transform(const Args& args, std::ostream& out) {
  if (args.empty()) throw UsageError("transform needs generate, apply, show or check");
  if (args[0] == "generate") return Generate(args, out);
  if (args[0] == "apply") return Apply(args, out);
  if (args[0] == "show") return Show(args, out);
  if (args[0] == "check") return Check(args, out);
  throw UsageError("unknown transform command `" + args[0] + "`");
}

}  // namespace fennick::msicli
