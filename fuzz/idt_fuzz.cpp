// Fuzz target: table archives (.idt) imported into a fresh database.
//
// The input up to its first NUL byte is the archive (archives never hold a NUL: it is written
// as 0x15); what follows, if anything, becomes the content of the binary cell files that the
// archive's rows name, in the folder named after the table (at most 16 files; each file's own
// name is appended, so that no two cells hold the same bytes and a lost cell shows). The
// database holds a small Property table beforehand, so archives of that name take the replacing path.
// Then:
// - a failed import must leave the database exactly as it was;
// - after a successful one every row is read, every table (and the summary information and
//   codepage) is exported, and the exported tables imported into another fresh database must
//   give the same columns and rows.
// Errors are expected; crashes, hangs, huge allocations and the two mismatches are not.
// Files live in a scratch folder per process under the temporary directory.
// Seeds: archives of a few fixture packages (fuzz/seed.sh).
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "engine/db/database.h"
#include "engine/idt/archive_text.h"
#include "engine/idt/idt.h"

namespace {
namespace fs = std::filesystem;
using msi::Value;

constexpr std::size_t kMaxCellFiles = 16;
constexpr std::size_t kMaxFileName = 200;

// The scratch folder of this process, removed when the fuzzer exits normally or a check fails.
struct Scratch {
  fs::path root = fs::temp_directory_path() / ("fennick-idt-fuzz-" + std::to_string(getpid()));
  ~Scratch() { remove(); }
  void remove() const {
    std::error_code ec;
    fs::remove_all(root, ec);
  }
};

const Scratch& scratch() {
  static const Scratch s;
  return s;
}

// A name the import and export may use as one folder or file name inside the scratch folder:
// table names become folder names, and a table named ".." would reach outside.
bool safeName(std::string_view name) {
  return !name.empty() && name.size() <= kMaxFileName && name != "." && name != ".." &&
         name.find_first_of(std::string_view("/\\\0", 3)) == std::string_view::npos;
}

bool allDigits(std::string_view s) {
  return !s.empty() && s.find_first_not_of("0123456789") == std::string_view::npos;
}

// The table name of the archive's third line (after an optional codepage), as raw bytes.
std::string_view tableName(const std::vector<std::string_view>& lines) {
  if (lines.size() < 3) return {};
  const auto fields = msi::idt::splitFields(lines[2]);
  if (allDigits(fields[0])) return fields.size() > 1 ? fields[1] : std::string_view();
  return fields[0];
}

// The distinct names the rows give in binary columns ('v' or 'V' definitions).
std::set<std::string> cellFileNames(const std::vector<std::string_view>& lines) {
  std::set<std::string> names;
  if (lines.size() < 4) return names;
  std::vector<std::size_t> binary;
  const auto defs = msi::idt::splitFields(lines[1]);
  for (std::size_t c = 0; c < defs.size(); ++c)
    if (!defs[c].empty() && (defs[c][0] == 'v' || defs[c][0] == 'V')) binary.push_back(c);
  for (std::size_t i = 3; i < lines.size() && names.size() < kMaxCellFiles; ++i) {
    const auto fields = msi::idt::splitFields(lines[i]);
    for (const std::size_t c : binary) {
      if (c >= fields.size()) continue;
      std::string name = msi::idt::unescapeValue(fields[c]);
      if (safeName(name) && names.size() < kMaxCellFiles) names.insert(std::move(name));
    }
  }
  return names;
}

bool writeFile(const fs::path& path, std::string_view content) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(content.data(), static_cast<std::streamsize>(content.size()));
  return static_cast<bool>(out);
}

std::unique_ptr<msi::Database> freshDatabase() {
  auto db = msi::Database::open("fuzz.msi", msi::OpenMode::Create);  // never committed
  msi::Column property = msi::Column::fromDefinition("Property", "s72");
  property.key = true;
  db->createTable(msi::Schema{"Property", {property, msi::Column::fromDefinition("Value", "l0")}, false});
  db->table("Property").insert({Value("ProductName"), Value("Fuzz")});
  db->table("Property").insert({Value("ALLUSERS"), Value("1")});
  return db;
}

// Columns and rows of every table, reading every value (blobs included). Tables and rows are
// sorted by their text: stored order follows the string pool's ids, which depend on the order
// in which strings first came in, and that differs between two databases holding the same rows.
std::string snapshot(msi::Database& db) {
  std::set<std::string> tables;
  for (const std::string& name : db.tableNames()) {
    msi::Table& t = db.table(name);
    std::string header = name + ":";
    for (const msi::Column& c : t.schema().columns) header += " " + c.name + (c.key ? "*/" : "/") + c.definition();
    std::multiset<std::string> rows;
    for (std::size_t i = 0; i < t.size(); ++i) {
      std::string row;
      for (const Value& v : t.row(i)) {
        if (v.isBlob()) {
          const msi::Bytes& b = v.asBlob().bytes();
          row += "<" + std::string(b.begin(), b.end()) + ">";
        } else {
          row += v.isNull() ? "~" : v.isInt() ? "#" + v.text() : "'" + v.text();
        }
        row += "|";
      }
      rows.insert(std::move(row));
    }
    std::string text = header + "\n";
    for (const std::string& row : rows) text += row + "\n";
    tables.insert(std::move(text));
  }
  std::string out;
  for (const std::string& t : tables) out += t;
  return out;
}

[[noreturn]] void fail(const char* what, const std::string& expected, const std::string& got) {
  std::fprintf(stderr, "%s\n--- expected\n%s--- got\n%s", what, expected.c_str(), got.c_str());
  scratch().remove();
  std::abort();
}

// Exports every table of `db` into `out` and reads the archives back into a fresh database:
// the tables must come back as they were. Export errors (text the codepage cannot hold, file
// names the file system refuses) end the check quietly.
void roundTrip(msi::Database& db, const fs::path& out) {
  std::vector<std::string> files;
  try {
    for (const std::string& name : db.tableNames()) {
      if (!safeName(name)) return;
      files.push_back(std::to_string(files.size()) + ".idt");
      msi::idt::exportTable(db, name, out, files.back());
    }
    msi::idt::exportTable(db, "_SummaryInformation", out, "summary.idt");
    msi::idt::exportTable(db, "_ForceCodepage", out, "codepage.idt");
  } catch (const msi::Error&) {
    return;
  }
  auto back = msi::Database::open("back.msi", msi::OpenMode::Create);
  try {
    for (const std::string& file : files) msi::idt::importTable(*back, out, file);
  } catch (const msi::Error& e) {
    fail("an exported archive cannot be imported again", "", std::string(e.what()) + "\n");
  }
  const std::string expected = snapshot(db);
  const std::string got = snapshot(*back);
  if (got != expected) fail("exported and imported again, the tables differ", expected, got);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const fs::path& root = scratch().root;
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::size_t nul = input.find('\0');
  const std::string_view archive = input.substr(0, nul);
  const auto lines = msi::idt::splitLines(archive);
  const std::string_view table = tableName(lines);
  if (!table.empty() && !safeName(table)) return 0;

  const fs::path in = root / "in";
  const fs::path out = root / "out";
  std::error_code ec;
  fs::remove_all(root, ec);
  fs::create_directories(in, ec);
  fs::create_directories(out, ec);
  if (ec || !writeFile(in / "fuzz.idt", archive)) std::abort();  // the scratch folder must work
  if (nul != std::string_view::npos && !table.empty()) {
    const std::string_view content = input.substr(nul + 1);
    const fs::path cells = in / std::string(table);
    fs::create_directories(cells, ec);
    if (!ec)
      for (const std::string& name : cellFileNames(lines)) writeFile(cells / name, std::string(content) + name);
  }

  auto db = freshDatabase();
  const std::string before = snapshot(*db);
  try {
    msi::idt::importTable(*db, in, "fuzz.idt");
  } catch (const msi::Error&) {
    const std::string after = snapshot(*db);
    if (after != before) fail("a failed import changed the database", before, after);
    return 0;
  }
  roundTrip(*db, out);
  return 0;
}
