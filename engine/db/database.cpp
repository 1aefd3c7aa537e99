// Opening a database, its catalogue, and the schema operations.
#include "engine/db/database_impl.h"

#include <algorithm>

#include "engine/db/stream_name.h"
#include "engine/text/quoting.h"

namespace msi {
using text::backticked;
namespace {

const cfb::Path kStringPool{stream_name::encode("_StringPool", true)};
const cfb::Path kStringData{stream_name::encode("_StringData", true)};
const cfb::Path kTables{stream_name::encode("_Tables", true)};
const cfb::Path kColumns{stream_name::encode("_Columns", true)};
const cfb::Path kSummary{u"\u0005SummaryInformation"};

constexpr std::size_t kMaxColumns = 32;


}  // namespace

std::unique_ptr<Database> Database::open(const std::filesystem::path& path, OpenMode mode,
                                         cfb::FileSystem& files) {
  if (mode == OpenMode::Create || mode == OpenMode::CreateDirect)
    return std::make_unique<DatabaseImpl>(path, nullptr, false, files);
  std::shared_ptr<const cfb::Reader> reader;
  reader = cfb::Reader::open(path);
  return std::make_unique<DatabaseImpl>(path, std::move(reader), mode == OpenMode::ReadOnly, files);
}

std::unique_ptr<Database> Database::open(std::shared_ptr<const cfb::Reader> reader) {
  if (!reader) throw Error("no compound file to open");
  const std::filesystem::path path = reader->name();
  return std::make_unique<DatabaseImpl>(path, std::move(reader), true, cfb::FileSystem::system());
}

DatabaseImpl::DatabaseImpl(std::filesystem::path path, std::shared_ptr<const cfb::Reader> reader,
                           bool readOnly, cfb::FileSystem& files)
    : path_(std::move(path)),
      readOnly_(readOnly),
      files_(files),
      source_(std::make_shared<FileSource>(FileSource{std::move(reader), path_.string()})),
      streams_(source_) {
  if (!source_->reader) {
    file_.hasString.assign(1, false);
    return;
  }
  source_->name = source_->reader->name();
  if (!source_->exists(kStringPool))
    throw Error(where() + ": not an installer database (no string pool)");
  file_.exists = true;
  file_.pool = source_->read(kStringPool);
  pool_ = StringPool::parse(file_.pool, source_->exists(kStringData) ? source_->read(kStringData) : Bytes(),
                            where());
  file_.longRefs = pool_.longRefs();
  file_.hasString.resize(pool_.size());
  for (std::uint32_t id = 0; id < pool_.size(); ++id) file_.hasString[id] = pool_.has(id);
  file_.tables = source_->exists(kTables) ? source_->read(kTables) : Bytes();
  file_.columns = source_->exists(kColumns) ? source_->read(kColumns) : Bytes();
  readCatalogue();
  streams_.reset();
  // Only a commit compares the stored pool with the strings; a read-only database never
  // commits, so the parsed pool is all it keeps.
  if (readOnly_) file_.pool = Bytes();
}

void DatabaseImpl::readCatalogue() {
  std::vector<catalogue::Entry> entries;
  try {
    entries = catalogue::read(file_.tables, file_.columns, pool_, file_.longRefs, where());
  } catch (const Error& e) {
    const std::string what = e.what();
    throw Error(what.rfind(where(), 0) == 0 ? what : where() + ": " + what, e.kind());
  }
  slots_.clear();
  for (auto& e : entries) {
    Slot s;
    s.schema = std::move(e.schema);
    s.error = std::move(e.error);
    slots_.push_back(std::move(s));
  }
  ++catalogueGeneration_;
}

std::string DatabaseImpl::where(std::string_view table) const { return where() + ": table " + backticked(table); }

bool DatabaseImpl::isSystemName(std::string_view name) {
  return name == "_Tables" || name == "_Columns" || name == "_Streams" || name == "_Storages" ||
         name == "_StringPool" || name == "_StringData";
}

DatabaseImpl::Slot* DatabaseImpl::slot(std::string_view name) {
  for (auto& s : slots_)
    if (s.schema.name == name) return &s;
  return nullptr;
}

const DatabaseImpl::Slot* DatabaseImpl::slot(std::string_view name) const {
  for (const auto& s : slots_)
    if (s.schema.name == name) return &s;
  return nullptr;
}

std::vector<std::string> DatabaseImpl::tableNames() const {
  std::vector<std::string> out;
  for (const auto& s : slots_) out.push_back(s.schema.name);
  return out;
}

bool DatabaseImpl::hasTable(std::string_view name) const {
  return name == "_Tables" || name == "_Columns" || name == "_Streams" || name == "_Storages" ||
         slot(name) != nullptr;
}

bool DatabaseImpl::isPersistent(std::string_view table) const {
  const Slot* s = slot(table);
  return s && s->persistent;
}

bool DatabaseImpl::isLoaded(std::string_view table) const {
  const Slot* s = slot(table);
  return s && s->table;
}

void DatabaseImpl::shareStrings(Database& source) {
  if (auto* other = dynamic_cast<DatabaseImpl*>(&source)) pool_.shareTextsOf(other->pool_);
}

std::unique_ptr<Database> DatabaseImpl::fork() {
  if (!readOnly_ || !file_.exists || !dropped_.empty() || streams_.pending() || (summary_ && summary_->changed))
    return nullptr;
  for (const Slot& s : slots_)
    if (!s.persistent || (s.table && !s.table->holdsOnlyStored())) return nullptr;
  std::optional<StringPool> pool = pool_.fork();
  if (!pool) return nullptr;
  return std::unique_ptr<Database>(new DatabaseImpl(ForkOf{*this, std::move(*pool)}));
}

DatabaseImpl::DatabaseImpl(ForkOf fork)
    : path_(fork.source.path_),
      readOnly_(true),
      files_(fork.source.files_),
      source_(std::make_shared<FileSource>(*fork.source.source_)),
      pool_(std::move(fork.pool)),
      streams_(source_),
      file_(fork.source.file_),
      catalogueGeneration_(fork.source.catalogueGeneration_) {
  // The definitions as read; rows are read from the file when first asked for.
  for (const Slot& s : fork.source.slots_) {
    Slot copy;
    copy.schema = s.schema;
    copy.persistent = s.persistent;
    copy.error = s.error;
    slots_.push_back(std::move(copy));
  }
  streams_.reset();
}

bool DatabaseImpl::release(std::string_view table) {
  Slot* s = slot(table);
  if (!s || !s->table || !s->persistent || !s->table->holdsOnlyStored()) return false;
  s->table.reset();
  return true;
}

std::vector<const Schema*> DatabaseImpl::persistentSchemas() const {
  std::vector<const Schema*> out;
  for (const auto& s : slots_)
    if (s.persistent && s.error.empty()) out.push_back(&s.schema);
  return out;
}

StoredTable& DatabaseImpl::load(Slot& s) {
  if (s.table) return *s.table;
  if (!s.error.empty()) throw Error(where(s.schema.name) + ": " + s.error);
  auto table = std::make_unique<StoredTable>(s.schema, s.persistent, pool_, streams_);
  const cfb::Path path{stream_name::encode(s.schema.name, true)};
  if (s.persistent && source_->exists(path)) {
    try {
      auto cells = table_stream::decode(source_->read(path), s.schema.columns, file_.longRefs, s.schema.name);
      // Rows that had to be renumbered are written again at the next commit.
      if (!table->load(std::move(cells), where(s.schema.name))) table->setChanged(true);
    } catch (const Error& e) {
      const std::string what = e.what();
      throw Error(what.rfind(where(), 0) == 0 ? what : where() + ": " + what, e.kind());
    }
  }
  s.table = std::move(table);
  return *s.table;
}

Table& DatabaseImpl::table(std::string_view name) {
  if (name == "_Tables") {
    if (!tablesTable_)
      tablesTable_ = std::make_unique<VirtualTable>(
          catalogue::tablesSchema(), [this] { return catalogueGeneration_; },
          [this] {
            std::vector<Row> rows;
            for (const auto& s : slots_) rows.push_back(Row{Value(s.schema.name)});
            return rows;
          });
    return *tablesTable_;
  }
  if (name == "_Columns") {
    if (!columnsTable_)
      columnsTable_ = std::make_unique<VirtualTable>(
          catalogue::columnsSchema(), [this] { return catalogueGeneration_; },
          [this] {
            std::vector<Row> rows;
            for (const auto& s : slots_) {
              for (std::size_t i = 0; i < s.schema.columns.size(); ++i) {
                const Column& c = s.schema.columns[i];
                rows.push_back(Row{Value(s.schema.name), Value(static_cast<std::int32_t>(i + 1)), Value(c.name),
                                   Value(static_cast<std::int32_t>(c.typeBits()))});
              }
            }
            return rows;
          });
    return *columnsTable_;
  }
  if (name == "_Streams") {
    if (!streamsTable_) streamsTable_ = std::make_unique<StreamsTable>(streams_, false);
    return *streamsTable_;
  }
  if (name == "_Storages") {
    if (!storagesTable_) storagesTable_ = std::make_unique<StreamsTable>(streams_, true);
    return *storagesTable_;
  }
  Slot* s = slot(name);
  if (!s) throw Error(where() + ": no table " + backticked(name), ErrorKind::NotFound);
  return load(*s);
}

void DatabaseImpl::checkNewTable(const Schema& schema) const {
  const std::string at = where(schema.name);
  if (schema.name.empty()) throw Error(where() + ": a table needs a name");
  if (isSystemName(schema.name) || slot(schema.name)) throw Error(at + " already exists", ErrorKind::Constraint);
  if (stream_name::encode(schema.name, true).size() > stream_name::kMaxStoredLength)
    throw Error(at + ": name is too long to be stored", ErrorKind::Limit);
  if (schema.columns.empty()) throw Error(at + ": a table needs at least one column");
  if (schema.columns.size() > kMaxColumns)
    throw Error(at + ": " + std::to_string(schema.columns.size()) + " columns, at most " +
                std::to_string(kMaxColumns) + " allowed");
  if (!schema.columns.front().key) throw Error(at + ": the first column must be part of the primary key");
  bool keys = true, persistentColumns = true;
  for (std::size_t i = 0; i < schema.columns.size(); ++i) {
    const Column& c = schema.columns[i];
    const std::string col = at + ": column " + backticked(c.name);
    if (c.name.empty()) throw Error(at + ": column " + std::to_string(i + 1) + " has no name");
    for (std::size_t j = 0; j < i; ++j)
      if (schema.columns[j].name == c.name) throw Error(col + " is defined twice");
    if (c.key && !keys) throw Error(col + ": key columns must come first");
    keys = keys && c.key;
    if (!c.temporary && !persistentColumns && !schema.temporary)
      throw Error(col + ": persistent columns must come before temporary ones");
    persistentColumns = persistentColumns && !c.temporary;
    if (c.key && c.temporary && !schema.temporary) throw Error(col + ": a key column cannot be temporary");
    if (c.type == ColumnType::Integer && c.width != 2 && c.width != 4)
      throw Error(col + ": integer width must be 2 or 4");
    if (c.type == ColumnType::String && (c.width < 0 || c.width > 255))
      throw Error(col + ": string width must be 0..255");
    if (c.type == ColumnType::Binary && c.key) throw Error(col + ": a binary column cannot be a key");
  }
}

void DatabaseImpl::createTable(Schema schema) {
  checkNewTable(schema);
  Slot s;
  s.persistent = !schema.temporary;
  for (auto& c : schema.columns) {
    if (schema.temporary) c.temporary = true;
    if (c.type == ColumnType::Binary) c.width = 0;
  }
  s.schema = std::move(schema);
  s.table = std::make_unique<StoredTable>(s.schema, s.persistent, pool_, streams_);
  // The catalogue's own strings change: reference counts are taken afresh at the next commit.
  pool_.forgetCounts();
  if (!s.persistent) {
    slots_.push_back(std::move(s));
  } else {
    const std::uint32_t id = pool_.intern(s.schema.name);
    for (const auto& c : s.schema.columns)
      if (!c.temporary) pool_.intern(c.name);
    s.table->setChanged(true);
    // Persistent tables stay in stored-key order (the id of the name), before temporary ones.
    auto it = slots_.begin();
    while (it != slots_.end() && it->persistent && pool_.find(it->schema.name) < id) ++it;
    slots_.insert(it, std::move(s));
  }
  ++catalogueGeneration_;
}

void DatabaseImpl::dropTable(std::string_view name) {
  if (isSystemName(name)) throw Error(where(name) + ": a system table cannot be dropped");
  Slot* s = slot(name);
  if (!s) throw Error(where() + ": no table " + backticked(name), ErrorKind::NotFound);
  if (s->persistent) {
    // Its binary cells go with it; a table too damaged to read keeps them.
    try {
      for (const auto& stream : load(*s).binaryStreamNames()) streams_.removeStream(stream);
    } catch (const Error&) {
    }
    dropped_.insert(s->schema.name);
  }
  slots_.erase(slots_.begin() + (s - slots_.data()));
  pool_.forgetCounts();
  ++catalogueGeneration_;
}

void DatabaseImpl::addColumn(std::string_view tableName, Column column) {
  if (isSystemName(tableName)) throw Error(where(tableName) + ": columns of a system table are fixed");
  Slot* s = slot(tableName);
  if (!s) throw Error(where() + ": no table " + backticked(tableName), ErrorKind::NotFound);
  StoredTable& t = load(*s);
  const std::string col = where(tableName) + ": column " + backticked(column.name);
  if (column.name.empty()) throw Error(where(tableName) + ": a column needs a name");
  if (s->schema.indexOf(column.name)) throw Error(col + " already exists", ErrorKind::Constraint);
  if (s->schema.columns.size() >= kMaxColumns)
    throw Error(col + ": the table already has " + std::to_string(kMaxColumns) + " columns");
  if (!s->persistent) column.temporary = true;
  if (!column.temporary && !s->schema.columns.empty() && s->schema.columns.back().temporary)
    throw Error(col + ": a persistent column cannot follow temporary ones");
  if (column.key) {
    bool allKeys = true;
    for (const auto& c : s->schema.columns) allKeys = allKeys && c.key;
    if (!allKeys || t.size() > 0) throw Error(col + ": a key column can only be added to an empty table of key columns");
  }
  if (!column.nullable && t.size() > 0)
    throw Error(col + ": only a nullable column can be added to a table that has rows");
  if (column.type == ColumnType::Integer && column.width != 2 && column.width != 4)
    throw Error(col + ": integer width must be 2 or 4");
  if (column.type == ColumnType::String && (column.width < 0 || column.width > 255))
    throw Error(col + ": string width must be 0..255");
  if (column.type == ColumnType::Binary) column.width = 0;
  if (!column.temporary) {
    pool_.intern(column.name);
    t.setChanged(true);
  }
  s->schema.columns.push_back(column);
  t.appendColumn(std::move(column));
  pool_.forgetCounts();
  ++catalogueGeneration_;
}

void DatabaseImpl::setCodepage(int codepage) {
  try {
    pool_.setCodepage(codepage);
  } catch (const Error& e) {
    throw e.within(where() + ": ");
  }
}

SummaryInfo& DatabaseImpl::summaryInfo() {
  if (!summary_) {
    SummaryInfo info;
    if (source_->exists(kSummary)) info = SummaryInfo::parse(source_->read(kSummary), where());
    summary_ = std::move(info);
  }
  return *summary_;
}

}  // namespace msi
