#include <cstdio>
#include <ctime>
#include <fstream>
#include <system_error>

#include "engine/db/codepage.h"
#include "engine/idt/archive_text.h"
#include "engine/idt/idt.h"
#include "engine/idt/summary_text.h"

namespace msi::idt {
namespace fs = std::filesystem;
namespace {

// Writes `content` to `path` through a temporary sibling, so a failure leaves no half file.
void writeFileAtomically(const fs::path& path, std::string_view content) {
  const fs::path temp = path.string() + ".tmp";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    out.flush();
    if (!out) {
      std::error_code ec;
      fs::remove(temp, ec);
      throw Error(path.string() + ": cannot be written");
    }
  }
  std::error_code ec;
  fs::rename(temp, path, ec);
  if (ec) {
    fs::remove(temp, ec);
    throw Error(path.string() + ": cannot be written: " + ec.message());
  }
}

bool isAscii(std::string_view s) {
  for (unsigned char c : s)
    if (c >= 0x80) return false;
  return true;
}

// A file name for a binary cell: the key values joined by '.', with characters that cannot
// stand in a file name replaced.
std::string binaryFileName(const Schema& schema, const Row& row) {
  std::string name;
  for (std::size_t k = 0; k < schema.keyCount(); ++k) {
    if (k) name += '.';
    name += row[k].text();
  }
  for (char& c : name)
    if (c == '/' || c == '\\' || c == ':' || static_cast<unsigned char>(c) < 0x20) c = '_';
  if (name.empty() || name == "." || name == "..") name = "_" + name;
  return name + ".ibd";
}

std::string exportForceCodepage(const Database& db) {
  return "\r\n\r\n" + std::to_string(db.codepage()) + "\t_ForceCodepage\r\n";
}

}  // namespace

void exportTable(Database& db, std::string_view tableName, const fs::path& folder, std::string_view file) {
  std::error_code ec;
  if (!fs::is_directory(folder, ec)) throw Error(folder.string() + ": no such folder");
  const fs::path target = folder / std::string(file);
  if (tableName == "_ForceCodepage") return writeFileAtomically(target, exportForceCodepage(db));
  if (tableName == "_SummaryInformation")
    return writeFileAtomically(target, summaryArchive(db.summaryInfo(), Codepage(db.codepage())));

  Table& table = db.table(tableName);
  const Schema& schema = table.schema();
  const Codepage codepage(db.codepage());
  const std::string where = "table `" + schema.name + "`";

  std::string names, defs, keys = schema.name;
  for (std::size_t c = 0; c < schema.columns.size(); ++c) {
    const Column& col = schema.columns[c];
    if (c) names += '\t', defs += '\t';
    names += col.name;
    defs += col.definition();
    if (col.key) keys += '\t' + col.name;
  }

  std::string body;
  bool ascii = true;
  bool madeBinaryFolder = false;
  for (std::size_t r = 0; r < table.size(); ++r) {
    const Row& row = table.row(r);
    for (std::size_t c = 0; c < schema.columns.size(); ++c) {
      if (c) body += '\t';
      const Value& v = row[c];
      if (v.isNull()) continue;
      if (v.isInt()) {
        body += std::to_string(v.asInt());
      } else if (v.isBlob()) {
        const fs::path dir = folder / schema.name;
        if (!madeBinaryFolder) {
          fs::create_directories(dir, ec);
          if (ec) throw Error(dir.string() + ": cannot create folder: " + ec.message());
          madeBinaryFolder = true;
        }
        const std::string name = binaryFileName(schema, row);
        const Bytes& data = v.asBlob().bytes();
        writeFileAtomically(dir / name, std::string_view(reinterpret_cast<const char*>(data.data()), data.size()));
        body += name;
      } else {
        const std::string& text = v.asString();
        if (isAscii(text)) {  // the same in every codepage
          appendEscaped(body, text);
          continue;
        }
        ascii = false;
        auto encoded = codepage.encode(text);
        if (!encoded)
          throw Error(where + ", column `" + schema.columns[c].name + "`, row " + std::to_string(r + 1) +
                      ": text cannot be written in codepage " + std::to_string(db.codepage()));
        appendEscaped(body, *encoded);
      }
    }
    body += "\r\n";
  }
  if (!ascii && db.codepage() != 0) keys = std::to_string(db.codepage()) + '\t' + keys;
  // Column and table names are ASCII in practice; encode them like the data all the same.
  auto header = codepage.encode(names + "\r\n" + defs + "\r\n" + keys + "\r\n");
  if (!header) throw Error(where + ": a column name cannot be written in the database codepage");
  writeFileAtomically(target, *header + body);
}

}  // namespace msi::idt
