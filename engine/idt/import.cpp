#include <fstream>
#include <iterator>
#include <set>
#include <sstream>

#include "engine/db/codepage.h"
#include "engine/idt/archive_text.h"
#include "engine/idt/idt.h"
#include "engine/idt/summary_text.h"
#include "engine/text/integers.h"

namespace msi::idt {
namespace fs = std::filesystem;
namespace {

std::string readWhole(const fs::path& path) {
  std::error_code ec;
  if (fs::is_directory(path, ec)) throw Error(path.string() + ": is a folder, not a table archive");
  std::ifstream in(path, std::ios::binary);
  if (!in) throw Error(path.string() + ": cannot be read");
  std::string out;
  const auto size = fs::file_size(path, ec);
  if (!ec) out.reserve(static_cast<std::size_t>(size));
  out.append(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return out;
}

bool allDigits(std::string_view s) {
  return !s.empty() && s.find_first_not_of("0123456789") == std::string_view::npos;
}

// The archive parsed and checked, before anything touches the database.
struct Archive {
  Schema schema;
  std::vector<Row> rows;
  std::vector<std::size_t> lines;  // the line number of each row, for errors
  std::string where;               // the archive, for errors
};

Archive parseTable(const std::vector<std::string_view>& lines, const Codepage& codepage,
                   std::string_view tableName, std::vector<std::string_view> keyNames,
                   const fs::path& folder, const std::string& where) {
  Archive a;
  a.schema.name = std::string(tableName);
  const auto names = splitFields(lines[0]);
  const auto defs = splitFields(lines[1]);
  if (names.size() != defs.size())
    throw Error(where + ": " + std::to_string(names.size()) + " column names but " +
                std::to_string(defs.size()) + " column definitions");
  if (names.size() > 32) throw Error(where + ": more than 32 columns");
  std::set<std::string> seen;
  for (std::size_t c = 0; c < names.size(); ++c) {
    const std::string name = codepage.decode(names[c]);
    if (name.empty()) throw Error(where + ": column " + std::to_string(c + 1) + " has no name");
    if (!seen.insert(name).second) throw Error(where + ": column `" + name + "` appears twice");
    try {
      a.schema.columns.push_back(Column::fromDefinition(name, defs[c]));
    } catch (const Error& e) {
      throw Error(where + ", column `" + name + "`: " + e.what());
    }
  }
  if (keyNames.empty()) throw Error(where + ": line 3 names no primary key column");
  for (std::size_t k = 0; k < keyNames.size(); ++k) {
    const std::string key = codepage.decode(keyNames[k]);
    auto idx = a.schema.indexOf(key);
    if (!idx) throw Error(where + ": primary key `" + key + "` is not a column");
    if (*idx != k) throw Error(where + ": primary key `" + key + "` must be column " + std::to_string(k + 1));
    a.schema.columns[*idx].key = true;
  }

  // Two rows with one key are found when the rows go into the table (see apply).
  a.where = where;
  a.rows.reserve(lines.size());
  a.lines.reserve(lines.size());
  for (std::size_t i = 3; i < lines.size(); ++i) {
    if (lines[i].empty() && a.schema.columns.size() > 1) continue;
    const auto at = [&] { return where + ", line " + std::to_string(i + 1); };  // only on errors
    const auto fields = splitFields(lines[i]);
    if (fields.size() != a.schema.columns.size())
      throw Error(at() + ": " + std::to_string(fields.size()) + " fields for " +
                  std::to_string(a.schema.columns.size()) + " columns");
    Row row;
    row.reserve(fields.size());
    for (std::size_t c = 0; c < fields.size(); ++c) {
      const Column& col = a.schema.columns[c];
      std::string text = hasEscapes(fields[c]) ? codepage.decode(unescapeValue(fields[c])) : codepage.decode(fields[c]);
      if (text.empty()) {
        if (!col.nullable) throw Error(at() + ": column `" + col.name + "` may not be empty");
        row.emplace_back();
        continue;
      }
      switch (col.type) {
        case ColumnType::Integer: {
          const auto n = text::parseInt32(text);
          const std::int32_t limit = col.width == 2 ? 32767 : 2147483647;
          if (!n || *n < -limit || *n > limit)
            throw Error(at() + ": column `" + col.name + "` needs a " + std::to_string(col.width) +
                        "-byte integer, not `" + text + "`");
          row.emplace_back(*n);
          break;
        }
        case ColumnType::Binary: {
          if (!usableAsFolderName(a.schema.name))
            throw Error(at() + ": table name `" + a.schema.name + "` cannot be the folder of its binary cells");
          const fs::path file = folder / a.schema.name / text;
          std::error_code ec;
          if (text.find('/') != std::string::npos || text.find('\\') != std::string::npos || text == "..")
            throw Error(at() + ": binary file name `" + text + "` must not name a folder");
          if (!fs::is_regular_file(file, ec)) throw Error(at() + ": binary file " + file.string() + " not found", ErrorKind::NotFound);
          const std::string bytes = readWhole(file);
          row.emplace_back(Blob(Bytes(bytes.begin(), bytes.end())));
          break;
        }
        case ColumnType::String:
          row.emplace_back(std::move(text));
          break;
      }
    }
    a.rows.push_back(std::move(row));
    a.lines.push_back(i + 1);
  }
  return a;
}

bool sameColumns(const Schema& a, const Schema& b) {
  if (a.columns.size() != b.columns.size()) return false;
  for (std::size_t i = 0; i < a.columns.size(); ++i)
    if (a.columns[i].name != b.columns[i].name || a.columns[i].typeBits() != b.columns[i].typeBits()) return false;
  return true;
}

// Puts the archive's rows into `db`, replacing the table's content; on any failure the
// table is restored as it was.
void apply(Database& db, Archive archive) {
  const std::string& name = archive.schema.name;
  std::optional<Schema> oldSchema;
  std::vector<Row> oldRows;
  if (db.hasTable(name)) {
    Table& old = db.table(name);
    oldSchema = old.schema();
    oldRows.reserve(old.size());
    for (std::size_t i = 0; i < old.size(); ++i) oldRows.push_back(old.row(i));
  }
  auto restore = [&] {
    try {
      if (db.hasTable(name)) db.dropTable(name);
      if (oldSchema) {
        db.createTable(*oldSchema);
        Table& t = db.table(name);
        for (auto& r : oldRows) t.insert(r);
      }
    } catch (const Error&) {
      // Restoring rows that were valid before cannot fail short of memory exhaustion.
    }
  };
  try {
    if (oldSchema && sameColumns(*oldSchema, archive.schema)) {
      Table& t = db.table(name);
      while (t.size()) t.erase(t.size() - 1);
    } else {
      if (oldSchema) db.dropTable(name);
      db.createTable(archive.schema);
    }
    Table& t = db.table(name);
    for (std::size_t i = 0; i < archive.rows.size(); ++i) {
      try {
        t.insert(std::move(archive.rows[i]));
      } catch (const Error& e) {
        // Say which line: a key that came earlier, or a value the table refuses.
        throw Error(archive.where + ", line " + std::to_string(archive.lines[i]) + ": " + e.what());
      }
    }
  } catch (const Error&) {
    restore();
    throw;
  }
}

}  // namespace

void importTable(Database& db, const fs::path& folder, std::string_view file) {
  const fs::path path = folder / std::string(file);
  const std::string where = path.string();
  const std::string text = readWhole(path);
  const auto lines = splitLines(text);
  if (lines.size() < 3) throw Error(where + ": a table archive needs three header lines");

  auto third = splitFields(lines[2]);
  int cp = db.codepage();
  if (allDigits(third[0])) {
    const auto given = text::parseInt32(third[0]);
    cp = given.value_or(-1);
    if (!given || !Codepage::supported(cp)) throw Error(where + ": codepage " + std::string(third[0]) + " is not supported", ErrorKind::Unsupported);
    third.erase(third.begin());
    if (third.empty()) throw Error(where + ", line 3: no table name after the codepage");
  }
  const Codepage codepage(cp);
  const std::string table = codepage.decode(third[0]);

  if (table == "_ForceCodepage") {
    db.setCodepage(cp);
    return;
  }
  if (table == "_SummaryInformation") {
    SummaryInfo info = db.summaryInfo();
    parseSummaryRows(lines, codepage, where, info);
    db.summaryInfo() = std::move(info);
    return;
  }
  if (table.empty()) throw Error(where + ", line 3: no table name");
  Archive archive = parseTable(lines, codepage, table, {third.begin() + 1, third.end()}, folder, where);
  // A codepage line on a neutral database makes it that codepage, as the strings need it.
  if (cp != db.codepage() && db.codepage() == 0) db.setCodepage(cp);
  apply(db, std::move(archive));
}

}  // namespace msi::idt
