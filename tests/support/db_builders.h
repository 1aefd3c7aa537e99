// Small helpers for tests that build or change databases.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "engine/db/database.h"

namespace fennick::test {

inline msi::Column col(const std::string& name, const std::string& def, bool key = false) {
  msi::Column c = msi::Column::fromDefinition(name, def);
  c.key = key;
  return c;
}

inline msi::Bytes bytesOf(const std::string& s) { return msi::Bytes(s.begin(), s.end()); }
inline msi::Value blob(const std::string& text) { return msi::Value(msi::Blob(bytesOf(text))); }

// Copies a file (writable) and opens the copy for changes.
inline std::unique_ptr<msi::Database> openCopy(const std::filesystem::path& from, const std::filesystem::path& to) {
  std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing);
  std::filesystem::permissions(to, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  return msi::Database::open(to, msi::OpenMode::Transact);
}

// Sets the Value of Property `name` (inserting the row when absent).
inline void setProperty(msi::Database& db, const std::string& name, const std::string& value) {
  msi::Table& t = db.table("Property");
  const msi::Row row{msi::Value(name), msi::Value(value)};
  if (const auto i = t.find(row)) {
    t.update(*i, row);
  } else {
    t.insert(row);
  }
}

}  // namespace fennick::test
