// Helpers for transform tests: small databases built in the test, and whole-database
// snapshots to compare (every persistent table, row by row, binary cells by content).
#pragma once

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/db/database.h"
#include "tests/support/db_builders.h"

namespace fennick::mst_test {

using test::blob;
using test::bytesOf;
using test::col;
using test::openCopy;
using test::setProperty;

// A new database at `path` with a Property table holding the given rows.
std::unique_ptr<msi::Database> createDatabase(const std::filesystem::path& path,
                                              const std::vector<std::pair<std::string, std::string>>& properties = {});
// Creates `schema` in `db` and inserts `rows`.
void addTable(msi::Database& db, const std::string& name, std::vector<msi::Column> columns,
              const std::vector<msi::Row>& rows = {});

// Copies `dir`/base.msi to `dir`/changed.msi, lets `change` alter the copy, and generates the
// transform between them at `dir`/t.mst. Returns the base, open read-only.
std::unique_ptr<msi::Database> generateFromCopy(const std::filesystem::path& dir,
                                                const std::function<void(msi::Database&)>& change);

// Every persistent table: schema line ("Name s72 key, Value l0") and rows as text, binary cells
// as "<binary:content>", sorted; plus the codepage.
using Snapshot = std::map<std::string, std::vector<std::string>>;
Snapshot snapshot(msi::Database& db);

// The tables of section `test` (by default the running test's name) of tests/mst/expected.txt.
std::map<std::string, std::vector<std::string>> expected(const std::string& test = "");

// The changes describeTransform lists, each as formatChange gives it.
std::vector<std::string> changeLines(const std::filesystem::path& mst, msi::Database* base);

// Every table stream of a compound file as 16-bit words in hex ("0201 0001 0001 ..."), by
// table name; other streams (binary cells) by name as their text.
std::map<std::string, std::string> streamWords(const std::filesystem::path& mst);

}  // namespace fennick::mst_test
