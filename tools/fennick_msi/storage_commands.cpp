// tables, export, import, query, summary: the storage half of the engine.
#include <algorithm>
#include <filesystem>

#include "engine/db/database.h"
#include "engine/idt/idt.h"
#include "engine/idt/summary_text.h"
#include "engine/sql/view.h"
#include "tools/fennick_msi/command.h"

namespace fennick::msicli {
namespace fs = std::filesystem;

std::string Field(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '\t': out += "\\t"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\\': out += "\\\\"; break;
      default: out += c;
    }
  }
  return out;
}

int Tables(const Args& args, std::ostream& out) {
  if (args.size() != 1) throw UsageError("needs exactly one package");
  auto db = msi::Database::open(args[0], msi::OpenMode::ReadOnly);
  for (const auto& name : db->tableNames())
    if (db->isPersistent(name)) out << name << '\n';
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

int Query(const Args& args, std::ostream& out) {
  if (args.size() != 2) throw UsageError("needs a package and one query");
  std::string first = args[1];
  first.erase(0, first.find_first_not_of(" \t\r\n"));
  const bool select = first.size() >= 6 && std::equal(first.begin(), first.begin() + 6, "SELECT",
                                                       [](char a, char b) { return std::toupper(static_cast<unsigned char>(a)) == b; });
  auto db = msi::Database::open(args[0], select ? msi::OpenMode::ReadOnly : msi::OpenMode::Transact);
  auto view = msi::View::open(*db, args[1]);
  view->execute();
  if (select) {
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

int Summary(const Args& args, std::ostream& out) {
  if (args.size() != 1) throw UsageError("needs exactly one package");
  auto db = msi::Database::open(args[0], msi::OpenMode::ReadOnly);
  static const char* kNames[] = {"", "Codepage", "Title", "Subject", "Author", "Keywords", "Comments",
                                 "Template", "LastSavedBy", "RevisionNumber", "EditTime", "LastPrinted",
                                 "Created", "LastSaved", "PageCount", "WordCount", "CharacterCount",
                                 "Thumbnail", "CreatingApplication", "Security"};
  for (const auto& [pid, value] : db->summaryInfo().properties) {
    out << pid << '\t' << (pid < std::size(kNames) ? kNames[pid] : "Unknown") << '\t';
    if (const auto* i = std::get_if<std::int32_t>(&value))
      out << *i;
    else if (const auto* t = std::get_if<msi::FileTime>(&value))
      out << msi::idt::formatFileTime(*t);
    else
      out << Field(std::get<std::string>(value));
    out << '\n';
  }
  return 0;
}

}  // namespace fennick::msicli
