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

// Opens a file the import reads, or throws Error naming it and the cause.
std::ifstream openForReading(const fs::path& path) {
  std::error_code ec;
  if (fs::is_directory(path, ec)) throw Error(path.string() + ": is a folder, not a table archive");
  std::ifstream in(path, std::ios::binary);
  if (!in) throw Error(path.string() + ": cannot be read");
  return in;
}

std::string readWhole(const fs::path& path) {
  std::ifstream in = openForReading(path);
  std::error_code ec;
  std::string out;
  const auto size = fs::file_size(path, ec);
  if (!ec) out.reserve(static_cast<std::size_t>(size));
  out.append(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return out;
}

bool allDigits(std::string_view s) {
  return !s.empty() && s.find_first_not_of("0123456789") == std::string_view::npos;
}

// The lines of an archive file, one at a time, read from the file as they are asked for (an
// archive of a large table is tens of megabytes): LF ends a line, a CR before it is dropped,
// and a final empty line (after the last LF) is not a line.
class LineReader {
 public:
  explicit LineReader(const fs::path& path) : in_(openForReading(path)) {}
  bool next(std::string_view& line) {
    if (!std::getline(in_, buffer_)) return false;
    if (!buffer_.empty() && buffer_.back() == '\r') buffer_.pop_back();
    line = buffer_;
    ++number_;
    return true;
  }
  std::size_t number() const { return number_; }  // 1-based, of the line last read

 private:
  std::ifstream in_;
  std::string buffer_;
  std::size_t number_ = 0;
};

// The three header lines of an archive: column names, column definitions, and the table line
// (codepage, table name and primary key columns).
struct ArchiveHeader {
  std::string lines[3];
};

ArchiveHeader readHeader(const fs::path& path) {
  LineReader reader(path);
  ArchiveHeader header;
  std::string_view line;
  for (auto& text : header.lines) {
    if (!reader.next(line)) throw Error(path.string() + ": a table archive needs three header lines");
    text = line;
  }
  return header;
}

// The table an archive describes: its schema from the three header lines, then its rows read
// from the file one line at a time, so that neither its text nor its rows are ever held whole.
class ArchiveRows {
 public:
  ArchiveRows(fs::path path, const ArchiveHeader& header, const Codepage& codepage, std::string_view tableName,
              std::vector<std::string_view> keyNames, const fs::path& folder, std::string where)
      : path_(std::move(path)), codepage_(codepage), folder_(folder), where_(std::move(where)) {
    const auto& lines = header.lines;
    schema_.name = std::string(tableName);
    const auto names = splitFields(lines[0]);
    const auto defs = splitFields(lines[1]);
    if (names.size() != defs.size())
      throw Error(where_ + ": " + std::to_string(names.size()) + " column names but " +
                  std::to_string(defs.size()) + " column definitions");
    if (names.size() > 32) throw Error(where_ + ": more than 32 columns");
    std::set<std::string> seen;
    for (std::size_t c = 0; c < names.size(); ++c) {
      const std::string name = codepage_.decode(names[c]);
      if (name.empty()) throw Error(where_ + ": column " + std::to_string(c + 1) + " has no name");
      if (!seen.insert(name).second) throw Error(where_ + ": column `" + name + "` appears twice");
      try {
        schema_.columns.push_back(Column::fromDefinition(name, defs[c]));
      } catch (const Error& e) {
        throw Error(where_ + ", column `" + name + "`: " + e.what());
      }
    }
    if (keyNames.empty()) throw Error(where_ + ": line 3 names no primary key column");
    for (std::size_t k = 0; k < keyNames.size(); ++k) {
      const std::string key = codepage_.decode(keyNames[k]);
      auto idx = schema_.indexOf(key);
      if (!idx) throw Error(where_ + ": primary key `" + key + "` is not a column");
      if (*idx != k) throw Error(where_ + ": primary key `" + key + "` must be column " + std::to_string(k + 1));
      schema_.columns[*idx].key = true;
    }
  }

  const Schema& schema() const { return schema_; }
  const std::string& where() const { return where_; }

  // Calls `take(row, line number)` for each row in archive order. Throws Error naming the
  // line on a row the columns refuse. With `readBinary` false, binary files are only checked
  // to be there (the row then holds null in their place).
  template <typename Take>
  void forEachRow(bool readBinary, Take&& take) const {
    LineReader reader(path_);
    std::string_view line;
    for (int skip = 0; skip < 3; ++skip) reader.next(line);
    while (reader.next(line)) {
      if (line.empty() && schema_.columns.size() > 1) continue;
      take(parseRow(line, reader.number(), readBinary), reader.number());
    }
  }

 private:
  Row parseRow(std::string_view line, std::size_t number, bool readBinary) const {
    const auto at = [&] { return where_ + ", line " + std::to_string(number); };  // only on errors
    const auto fields = splitFields(line);
    if (fields.size() != schema_.columns.size())
      throw Error(at() + ": " + std::to_string(fields.size()) + " fields for " +
                  std::to_string(schema_.columns.size()) + " columns");
    Row row;
    row.reserve(fields.size());
    for (std::size_t c = 0; c < fields.size(); ++c) {
      const Column& col = schema_.columns[c];
      std::string text = hasEscapes(fields[c]) ? codepage_.decode(unescapeValue(fields[c])) : codepage_.decode(fields[c]);
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
          if (!usableAsFolderName(schema_.name))
            throw Error(at() + ": table name `" + schema_.name + "` cannot be the folder of its binary cells");
          const fs::path file = folder_ / schema_.name / text;
          std::error_code ec;
          if (text.find('/') != std::string::npos || text.find('\\') != std::string::npos || text == "..")
            throw Error(at() + ": binary file name `" + text + "` must not name a folder");
          if (!fs::is_regular_file(file, ec)) throw Error(at() + ": binary file " + file.string() + " not found", ErrorKind::NotFound);
          if (!readBinary) {
            row.emplace_back();
            break;
          }
          const std::string bytes = readWhole(file);
          row.emplace_back(Blob(Bytes(bytes.begin(), bytes.end())));
          break;
        }
        case ColumnType::String:
          row.emplace_back(std::move(text));
          break;
      }
    }
    return row;
  }

  fs::path path_;
  const Codepage& codepage_;
  fs::path folder_;
  std::string where_;
  Schema schema_;
};

bool sameColumns(const Schema& a, const Schema& b) {
  if (a.columns.size() != b.columns.size()) return false;
  for (std::size_t i = 0; i < a.columns.size(); ++i)
    if (a.columns[i].name != b.columns[i].name || a.columns[i].typeBits() != b.columns[i].typeBits()) return false;
  return true;
}

// Puts the archive's rows into `db`, replacing the table's content; on any failure the
// table is restored as it was. Every row is read and checked once before the table is
// touched, then read again as it goes in: the rows are never all held at once.
void apply(Database& db, const ArchiveRows& archive) {
  std::size_t rows = 0;
  archive.forEachRow(false, [&](Row&&, std::size_t) { ++rows; });
  const std::string& name = archive.schema().name;
  std::optional<Schema> oldSchema;
  std::vector<Row> oldRows;
  if (db.hasTable(name)) {
    Table& old = db.table(name);
    oldSchema = old.schema();
    oldRows.reserve(old.size());
    for (std::size_t i = 0; i < old.size(); ++i) oldRows.push_back(old.rowCopy(i));
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
    if (oldSchema && sameColumns(*oldSchema, archive.schema())) {
      Table& t = db.table(name);
      while (t.size()) t.erase(t.size() - 1);
    } else {
      if (oldSchema) db.dropTable(name);
      db.createTable(archive.schema());
    }
    Table& t = db.table(name);
    t.reserve(t.size() + rows);
    archive.forEachRow(true, [&](Row&& row, std::size_t line) {
      try {
        t.insert(std::move(row));
      } catch (const Error& e) {
        // Say which line: a key that came earlier, or a value the table refuses.
        throw Error(archive.where() + ", line " + std::to_string(line) + ": " + e.what());
      }
    });
  } catch (const Error&) {
    restore();
    throw;
  }
}

}  // namespace

void importTable(Database& db, const fs::path& folder, std::string_view file) {
  const fs::path path = folder / std::string(file);
  const std::string where = path.string();
  const ArchiveHeader header = readHeader(path);
  const auto& lines = header.lines;

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
    const std::string text = readWhole(path);  // a few lines
    parseSummaryRows(splitLines(text), codepage, where, info);
    db.summaryInfo() = std::move(info);
    return;
  }
  if (table.empty()) throw Error(where + ", line 3: no table name");
  const ArchiveRows archive(path, header, codepage, table, {third.begin() + 1, third.end()}, folder, where);
  // A codepage line on a neutral database makes it that codepage, as the strings need it.
  if (cp != db.codepage() && db.codepage() == 0) db.setCodepage(cp);
  apply(db, archive);
}

}  // namespace msi::idt
