// tables, export, import, query: the storage half of the engine.
#include <algorithm>
#include <filesystem>

#include "engine/db/database.h"
#include "engine/idt/idt.h"
#include "engine/sql/view.h"
#include "tools/fennick_msi/command.h"
#include "tools/fennick_msi/json_writer.h"

namespace fennick::msicli {
namespace fs = std::filesystem;

int Tables(const Args& given, std::ostream& out) {
  Args args = given;
  const bool json = TakeFlag(args, "--json");
  if (args.size() != 1) throw UsageError("needs exactly one package");
  auto db = msi::Database::open(args[0], msi::OpenMode::ReadOnly);
  std::vector<std::string> names;
  for (const auto& name : db->tableNames())
    if (db->isPersistent(name)) names.push_back(name);
  if (json) {
    JsonWriter w(out);
    w.beginArray();
    for (const auto& name : names) w.string(name);
    w.endArray();
  } else {
    for (const auto& name : names) out << Field(name) << '\n';
  }
  return 0;
}

int Export(const Args& args, std::ostream& out) {
  if (args.size() < 2) throw UsageError("needs a package and a folder");
  auto db = msi::Database::open(args[0], msi::OpenMode::ReadOnly);
  const fs::path dir = args[1];
  std::error_code ec;
  fs::create_directories(dir, ec);
  if (!fs::is_directory(dir)) throw msi::Error(dir.string() + ": cannot create folder");
  std::vector<std::string> tables(args.begin() + 2, args.end());
  if (tables.empty()) {
    for (const auto& name : db->tableNames())
      if (db->isPersistent(name)) tables.push_back(name);
    tables.push_back("_SummaryInformation");
    if (db->codepage() != 0) tables.push_back("_ForceCodepage");
  }
  for (const auto& table : tables) msi::idt::exportTable(*db, table, dir, table + ".idt");
  return 0;
}

int Import(const Args& args, std::ostream& out) {
  if (args.size() < 3) throw UsageError("needs a database, a folder and at least one archive");
  const fs::path path = args[0];
  std::error_code ec;
  const bool exists = fs::exists(path, ec);
  auto db = msi::Database::open(path, exists ? msi::OpenMode::Transact : msi::OpenMode::Create);
  // The codepage comes first, so that the strings of every other archive are read with it.
  std::vector<std::string> files(args.begin() + 2, args.end());
  std::stable_partition(files.begin(), files.end(), [](const std::string& f) { return f == "_ForceCodepage.idt"; });
  for (const auto& file : files) msi::idt::importTable(*db, args[1], file);
  db->commit();
  return 0;
}

namespace {

// The stream that holds a binary cell of a query's result: "Table.key" of the row it came
// from. Rows share their cells with the results, so the cell is found by identity, without
// reading any data; empty when no persistent row holds it.
std::string streamOfCell(msi::Database& db, const msi::Blob& blob) {
  for (const auto& name : db.tableNames()) {
    if (!db.isPersistent(name)) continue;
    msi::Table& table = db.table(name);
    const msi::Schema& schema = table.schema();
    std::vector<std::size_t> binary;
    for (std::size_t c = 0; c < schema.columns.size(); ++c)
      if (schema.columns[c].type == msi::ColumnType::Binary) binary.push_back(c);
    if (binary.empty()) continue;
    for (std::size_t i = 0; i < table.size(); ++i) {
      const msi::Row& row = table.row(i);
      for (const std::size_t c : binary) {
        if (c >= row.size() || !row[c].isBlob() || !row[c].asBlob().sameAs(blob)) continue;
        std::string stream = name;
        for (std::size_t k = 0; k < schema.columns.size(); ++k)
          if (schema.columns[k].key) stream += "." + row[k].text();
        return stream;
      }
    }
  }
  // A row of `_Streams` holds its stream under its own name.
  msi::Table& streams = db.table("_Streams");
  for (std::size_t i = 0; i < streams.size(); ++i)
    if (streams.row(i)[1].isBlob() && streams.row(i)[1].asBlob().sameAs(blob)) return streams.row(i)[0].text();
  return {};
}

void writeValue(JsonWriter& w, msi::Database& db, const msi::Value& v) {
  if (v.isNull()) w.null();
  else if (v.isInt()) w.number(v.asInt());
  else if (v.isString()) w.string(v.asString());
  else if (const std::string stream = streamOfCell(db, v.asBlob()); !stream.empty()) w.string(stream);
  else w.string("[binary " + std::to_string(v.asBlob().bytes().size()) + " bytes]");
}

}  // namespace

int Query(const Args& given, std::ostream& out) {
  Args args = given;
  const bool json = TakeFlag(args, "--json");
  if (args.size() != 2) throw UsageError("needs a package and one query");
  std::string first = args[1];
  first.erase(0, first.find_first_not_of(" \t\r\n"));
  const bool select = first.size() >= 6 && std::equal(first.begin(), first.begin() + 6, "SELECT",
                                                       [](char a, char b) { return std::toupper(static_cast<unsigned char>(a)) == b; });
  if (json && !select) throw UsageError("--json prints rows; only a SELECT query has them");
  auto db = msi::Database::open(args[0], select ? msi::OpenMode::ReadOnly : msi::OpenMode::Transact);
  auto view = msi::View::open(*db, args[1]);
  view->execute();
  if (json) {
    JsonWriter w(out);
    w.beginObject().key("columns").beginArray();
    const auto names = view->columnNames();
    const auto definitions = view->columnDefinitions();
    for (std::size_t i = 0; i < names.size(); ++i) {
      w.beginObject().key("name").string(names[i]);
      if (i < definitions.size()) w.key("type").string(definitions[i]);
      w.endObject();
    }
    w.endArray().key("rows").beginArray();
    while (auto record = view->fetch()) {
      w.beginArray();
      for (std::size_t i = 1; i <= record->fieldCount(); ++i) writeValue(w, *db, record->field(i));
      w.endArray();
    }
    w.endArray().endObject();
  } else if (select) {
    while (auto record = view->fetch()) {
      for (std::size_t i = 1; i <= record->fieldCount(); ++i) {
        if (i > 1) out << '\t';
        const msi::Value& v = record->field(i);
        out << Field(v.isBlob() ? "[binary " + std::to_string(v.asBlob().bytes().size()) + " bytes]" : v.text());
      }
      out << '\n';
    }
  }
  view->close();
  if (!select) db->commit();
  return 0;
}

}  // namespace fennick::msicli
