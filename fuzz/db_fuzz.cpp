// Fuzz target: arbitrary bytes as a compound file, opened as a database; every table is read
// in full, and so is the summary information. Errors are expected; crashes are not.
#include <cstddef>
#include <cstdint>

#include "engine/cfb/compound_file.h"
#include "engine/db/database.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::shared_ptr<const msi::cfb::Reader> reader;
  try {
    reader = msi::cfb::Reader::fromBytes(msi::cfb::Bytes(data, data + size), "fuzz");
  } catch (const msi::cfb::Error&) {
    return 0;
  }
  std::unique_ptr<msi::Database> db;
  try {
    db = msi::Database::open(reader);
  } catch (const msi::Error&) {
    return 0;
  }
  auto names = db->tableNames();
  for (const char* system : {"_Tables", "_Columns", "_Streams", "_Storages"}) names.emplace_back(system);
  for (const auto& name : names) {
    try {
      msi::Table& t = db->table(name);
      for (std::size_t i = 0; i < t.size(); ++i) {
        const msi::Row& row = t.row(i);
        for (const auto& v : row)
          if (v.isBlob()) (void)v.asBlob().bytes();
        (void)t.find(row);
      }
    } catch (const msi::Error&) {
    }
  }
  try {
    (void)db->summaryInfo();
  } catch (const msi::Error&) {
  }
  return 0;
}
