// The database behind Database: catalogue, lazily loaded tables, streams, summary
// information, and the commit that writes them.
#pragma once

#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "engine/db/catalogue.h"
#include "engine/db/database.h"
#include "engine/db/file_source.h"
#include "engine/db/stored_table.h"
#include "engine/db/stream_store.h"
#include "engine/db/string_pool.h"
#include "engine/db/virtual_table.h"

namespace msi {

class DatabaseImpl final : public Database {
 public:
  // A database over `reader` (null: a new, empty database to be written at `path`).
  DatabaseImpl(std::filesystem::path path, std::shared_ptr<const cfb::Reader> reader, bool readOnly,
               cfb::FileSystem& files);

  const std::filesystem::path& path() const override { return path_; }
  bool readOnly() const override { return readOnly_; }
  std::vector<std::string> tableNames() const override;
  bool hasTable(std::string_view name) const override;
  Table& table(std::string_view name) override;
  bool isPersistent(std::string_view table) const override;
  bool isLoaded(std::string_view table) const override;
  bool release(std::string_view table) override;
  void shareStrings(Database& source) override;
  std::unique_ptr<Database> fork() override;
  void createTable(Schema schema) override;
  void dropTable(std::string_view name) override;
  void addColumn(std::string_view table, Column column) override;
  int codepage() const override { return pool_.codepage(); }
  void setCodepage(int codepage) override;
  SummaryInfo& summaryInfo() override;
  void commit() override;

 private:
  struct ForkOf {
    DatabaseImpl& source;
    StringPool pool;
  };
  explicit DatabaseImpl(ForkOf fork);
  struct Slot {
    Schema schema;       // the definition; columns empty when `error` is set
    bool persistent = true;
    std::string error;   // why the stored definition cannot be used
    std::unique_ptr<StoredTable> table;  // null until first used
  };

  // Everything the last commit (or the open) left in the file, to write only what changed.
  struct FileState {
    bool exists = false;
    bool longRefs = false;
    std::vector<bool> hasString;  // by id: the file's pool holds a string there
    // The string data is not kept: a pool stream equal to the stored one, with no text added
    // or released since, means equal string data (StringPool::textsChanged).
    Bytes pool, tables, columns;
  };

  std::string where() const { return source_->name; }
  std::string where(std::string_view table) const;
  Slot* slot(std::string_view name);
  const Slot* slot(std::string_view name) const;
  StoredTable& load(Slot& s);
  void readCatalogue();
  std::vector<const Schema*> persistentSchemas() const;
  // Counts every string reference (catalogue, loaded rows, stored streams) into the pool.
  void countReferences(const std::vector<const Schema*>& schemas);
  // Whether the file's pool holds exactly `refs` as its reference counts (and the same
  // codepage): then it need not be written.
  bool storedCountsMatch(const std::vector<std::uint32_t>& refs) const;
  // Whether the string data for the pool stream `pool` (of `dataSize` bytes) is what the file
  // holds, given that no string was added or released since the last write.
  bool sameStringData(const Bytes& pool, std::uint64_t dataSize) const;
  static bool isSystemName(std::string_view name);
  void checkNewTable(const Schema& schema) const;

  std::filesystem::path path_;
  bool readOnly_;
  cfb::FileSystem& files_;
  std::shared_ptr<FileSource> source_;
  StringPool pool_;
  StreamStore streams_;
  FileState file_;
  std::vector<Slot> slots_;           // persistent ones in catalogue order, then temporary ones
  std::set<std::string> dropped_;     // persistent tables dropped since the last commit
  std::uint64_t catalogueGeneration_ = 0;
  std::optional<SummaryInfo> summary_;
  std::unique_ptr<VirtualTable> tablesTable_, columnsTable_, streamsTable_, storagesTable_;
};

}  // namespace msi
