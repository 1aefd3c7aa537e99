#include <cstdio>
#include <ctime>
#include <optional>
#include <set>
#include <span>
#include <system_error>

#include "engine/cfb/compound_file.h"
#include "engine/db/codepage.h"
#include "engine/idt/archive_text.h"
#include "engine/idt/idt.h"
#include "engine/idt/summary_text.h"

namespace msi::idt {
namespace fs = std::filesystem;
namespace {

// Writes `content` then `more` as the whole of `path`, atomically (no half file, no
// temporary file left behind on failure).
void writeFileAtomically(cfb::FileSystem& files, const fs::path& path, std::string_view content,
                         std::string_view more = {}) {
  const auto bytes = [](std::string_view s) {
    return std::span(reinterpret_cast<const std::uint8_t*>(s.data()), s.size());
  };
  cfb::replaceFile(files, path, {bytes(content), bytes(more)});
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

// `name` (from binaryFileName) made unique among `used` (compared without case, as file
// systems elsewhere do): a second cell whose key maps to the same name gets "~2", "~3"...
std::string uniqueFileName(std::string name, std::set<std::string>& used) {
  const auto lowered = [](std::string s) {
    for (char& c : s)
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
  };
  if (used.insert(lowered(name)).second) return name;
  const std::string stem = name.substr(0, name.size() - 4);  // without ".ibd"
  for (std::size_t n = 2;; ++n) {
    std::string candidate = stem + "~" + std::to_string(n) + ".ibd";
    if (used.insert(lowered(candidate)).second) return candidate;
  }
}

std::string exportForceCodepage(const Database& db) {
  return "\r\n\r\n" + std::to_string(db.codepage()) + "\t_ForceCodepage\r\n";
}

}  // namespace

void exportTable(Database& db, std::string_view tableName, const fs::path& folder, std::string_view file,
                 cfb::FileSystem& files) {
  std::error_code ec;
  if (!fs::is_directory(folder, ec)) throw Error(folder.string() + ": no such folder", ErrorKind::NotFound);
  const fs::path target = folder / std::string(file);
  if (tableName == "_ForceCodepage") return writeFileAtomically(files, target, exportForceCodepage(db));
  if (tableName == "_SummaryInformation")
    return writeFileAtomically(files, target, summaryArchive(db.summaryInfo(), Codepage(db.codepage())));

  // A table read only to be written out is let go of again afterwards.
  const bool wasLoaded = db.isLoaded(tableName);
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

  // The rows go out a piece at a time after the header, so the archive is never held whole.
  // The header says the codepage only when some text is not ASCII; that is known only once a
  // row shows it, so a table that turns out to need it is written again from its first row.
  const std::string codepagePrefix = db.codepage() != 0 ? std::to_string(db.codepage()) + '\t' : std::string();
  bool ascii = true;
  std::optional<std::string> header;
  const auto makeHeader = [&] {
    // Column and table names are ASCII in practice; encode them like the data all the same.
    header = codepage.encode(names + "\r\n" + defs + "\r\n" + (ascii ? std::string() : codepagePrefix) + keys + "\r\n");
  };
  // Whether a text that is not ASCII changes the header just made.
  const auto notAscii = [&] {
    const bool restart = ascii && !codepagePrefix.empty();
    ascii = false;
    return restart;
  };
  constexpr std::size_t kPiece = 1 << 20;
  std::string body;
  bool madeBinaryFolder = false;
  std::set<std::string> usedFileNames;
  cfb::replaceFile(files, target, [&](const cfb::PieceWriter& put) {
    const auto emit = [&](std::uint64_t at, std::string_view text) {
      put(at, std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
    };
    for (bool again = true; again;) {
      again = false;
      makeHeader();
      std::uint64_t at = header ? header->size() : 0;
      body.clear();
      usedFileNames.clear();
      for (std::size_t r = 0; r < table.size() && !again; ++r) {
        const Row row = table.rowCopy(r);  // read once: not kept by the table
        for (std::size_t c = 0; c < schema.columns.size() && !again; ++c) {
          if (c) body += '\t';
          const Value& v = row[c];
          if (v.isNull()) continue;
          if (v.isInt()) {
            body += std::to_string(v.asInt());
          } else if (v.isBlob()) {
            const fs::path dir = folder / schema.name;
            if (!madeBinaryFolder) {
              if (!usableAsFolderName(schema.name))
                throw Error(where + ": the name cannot be used as the folder for its binary cells");
              fs::create_directories(dir, ec);
              if (ec) throw Error(dir.string() + ": cannot create folder: " + ec.message());
              madeBinaryFolder = true;
            }
            const std::string name = uniqueFileName(binaryFileName(schema, row), usedFileNames);
            // The archive holds the name in the codepage, as import reads it (the key texts it
            // is made of have been checked to fit).
            const std::optional<std::string> encoded = codepage.encode(name);
            if (!isAscii(name) && notAscii()) again = true;
            const Bytes& data = v.asBlob().bytes();
            writeFileAtomically(files, dir / name, std::string_view(reinterpret_cast<const char*>(data.data()), data.size()));
            appendEscaped(body, encoded.value_or(name));
          } else {
            const std::string& text = v.asString();
            if (isAscii(text)) {  // the same in every codepage
              appendEscaped(body, text);
              continue;
            }
            if (notAscii()) again = true;
            auto encoded = codepage.encode(text);
            if (!encoded)
              throw Error(where + ", column `" + schema.columns[c].name + "`, row " + std::to_string(r + 1) +
                          ": text cannot be written in codepage " + std::to_string(db.codepage()));
            appendEscaped(body, *encoded);
          }
        }
        body += "\r\n";
        if (!again && body.size() >= kPiece) {
          emit(at, body);
          at += body.size();
          body.clear();
        }
      }
      if (again) continue;
      if (!header) throw Error(where + ": a column name cannot be written in the database codepage");
      emit(at, body);
      emit(0, *header);
    }
  });
  if (!wasLoaded) db.release(tableName);
}

}  // namespace msi::idt
