// An installer database: tables of rows over a compound file, a shared string pool,
// streams and summary information.
//
// Opening reads only the catalogue; a table's rows are read when first asked for. Changes
// stay in memory until commit(), which writes only what changed, atomically.
#pragma once

#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/cfb/file_system.h"
#include "engine/db/summary_info.h"
#include "engine/db/value.h"

namespace msi {

namespace cfb {
class Reader;
}

enum class OpenMode {
  ReadOnly = 0,      // never writes, locks or touches the file
  Transact = 1,      // changes are written by commit()
  Direct = 2,        // same as Transact here: commit() still writes
  Create = 3,        // a new, empty database at the path (replacing any file on commit)
  CreateDirect = 4,  // same as Create
};

// Rows of one table, kept sorted by primary key (stored order on read).
class Table {
 public:
  virtual ~Table() = default;
  virtual const Schema& schema() const = 0;
  virtual std::size_t size() const = 0;
  virtual const Row& row(std::size_t i) const = 0;  // 0-based
  // A copy of row `i`, for reading a table once through: a table that makes its rows on
  // first use does not keep this one.
  virtual Row rowCopy(std::size_t i) const { return row(i); }
  // Index of the row whose key columns equal those of `keyOrRow` (first keyCount values).
  virtual std::optional<std::size_t> find(const Row& keyOrRow) const = 0;

  // Each throws Error naming the table and the cause, and changes nothing on failure.
  virtual void insert(Row row, bool temporary = false) = 0;  // fails when the key is present
  virtual void update(std::size_t i, Row row) = 0;           // key columns must not change
  virtual void erase(std::size_t i) = 0;
  // True for a row inserted as temporary: held in memory only, never written, and not part
  // of what a transform describes.
  virtual bool isTemporaryRow(std::size_t i) const { return false; }
  // Room for `rows` rows in all, for a caller about to insert that many (no effect on content).
  virtual void reserve(std::size_t rows) {}
};

class Database {
 public:
  // Throws Error("<path>: <cause>"). commit() writes through `files`.
  static std::unique_ptr<Database> open(const std::filesystem::path& path, OpenMode mode,
                                        cfb::FileSystem& files = cfb::FileSystem::system());
  // A read-only database over an already opened compound file (memory, nested storage,
  // fuzzing). path() is the reader's name.
  static std::unique_ptr<Database> open(std::shared_ptr<const cfb::Reader> reader);
  virtual ~Database() = default;

  virtual const std::filesystem::path& path() const = 0;
  virtual bool readOnly() const = 0;

  // Persistent tables in catalogue (`_Tables`) order, then temporary ones.
  virtual std::vector<std::string> tableNames() const = 0;
  virtual bool hasTable(std::string_view name) const = 0;
  // Also serves `_Tables`, `_Columns`, `_Streams` and `_Storages`. Throws Error when absent.
  virtual Table& table(std::string_view name) = 0;
  virtual bool isPersistent(std::string_view table) const = 0;
  // Whether the rows of a table are in memory (read, or made since the open).
  virtual bool isLoaded(std::string_view table) const { return true; }
  // Lets go of the rows of a persistent table that hold nothing the file does not (no change
  // since the open or the last commit, no temporary rows or columns): the table is read from
  // the file again when next asked for. Any reference to the table or its rows taken before
  // is then invalid, so this is for callers that loaded the table themselves (isLoaded was
  // false) and are done with it. Returns whether the rows were let go.
  virtual bool release(std::string_view table) { return false; }
  // For a new database about to receive copies of `source`'s tables: its strings read the
  // texts `source` holds instead of storing their own copies. Nothing else changes: strings
  // get the same ids, and the file written is the same. No effect once this database holds
  // strings (a table made, a row added), nor between databases of other kinds.
  virtual void shareStrings(Database& source) {}
  // A read-only database of its own over the same file, for a caller about to change one in
  // memory (apply a transform) while others go on reading this one: it holds what this one
  // holds and reads the strings this one read rather than reading them again. Null when this
  // database is not read-only or holds anything its file does not (a change, temporary
  // tables, rows or columns); open the file again then.
  virtual std::unique_ptr<Database> fork() { return nullptr; }

  virtual void createTable(Schema schema) = 0;
  virtual void dropTable(std::string_view name) = 0;
  virtual void addColumn(std::string_view table, Column column) = 0;

  // Database codepage (0 neutral, 1252, 932, 65001 ...) used for strings in the file.
  virtual int codepage() const = 0;
  virtual void setCodepage(int codepage) = 0;

  virtual SummaryInfo& summaryInfo() = 0;

  // Writes every change to the file, atomically. Throws Error on a read-only database.
  virtual void commit() = 0;
};

}  // namespace msi
