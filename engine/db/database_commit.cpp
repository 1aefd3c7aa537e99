// Commit: recount string references, then write the pool, the catalogue and each changed
// table or stream in one atomic compound-file commit.
#include <algorithm>

#include "engine/db/database_impl.h"
#include "engine/db/stream_name.h"

namespace msi {
namespace {

const cfb::Clsid kPackageClsid = {0x84, 0x10, 0x0C, 0x00, 0x00, 0x00, 0x00, 0x00,
                                  0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
constexpr std::uint32_t kMaxShortRef = 0xFFFF;
constexpr std::uint32_t kMaxLongRef = 0xFFFFFF;

cfb::Path tablePath(std::string_view name) { return {stream_name::encode(name, true)}; }

}  // namespace

void DatabaseImpl::commit() {
  if (readOnly_) throw Error(where() + ": database is open read-only; commit is not allowed");
  for (const auto& s : slots_)
    if (s.persistent && !s.error.empty())
      throw Error(where(s.schema.name) + ": cannot commit while its definition is broken (" + s.error +
                  "); drop the table first");

  // 1. Exact reference counts: taken once, then kept up to date by every row change.
  const auto schemas = persistentSchemas();
  bool recount = !pool_.counted();
  if (recount) countReferences(schemas);

  std::uint32_t maxId = 0;
  const auto& counts = pool_.persistentCounts();
  for (std::size_t id = std::min<std::size_t>(counts.size(), pool_.size()); id-- > 1;)
    if (counts[id] > 0) {
      maxId = static_cast<std::uint32_t>(id);
      break;
    }
  if (maxId > kMaxLongRef)
    throw Error(where() + ": " + std::to_string(maxId) + " strings are more than a database can hold");
  // A file that already uses 3-byte references keeps them, so its tables need not change.
  const bool longRefs = (file_.exists && file_.longRefs) || maxId > kMaxShortRef;
  const bool widen = file_.exists && longRefs != file_.longRefs;

  // 2. What must be encoded again.
  std::vector<StoredTable*> encodeList;
  for (auto& s : slots_)
    if (s.persistent && widen) load(s);
  // Loading may renumber duplicate strings, which the counts cannot follow.
  if (!pool_.counted()) {
    countReferences(schemas);
    recount = true;
  }
  const auto& refs = pool_.persistentCounts();
  for (auto& s : slots_)
    if (s.persistent && s.table && (s.table->changed() || widen)) encodeList.push_back(s.table.get());

  // 3. Stage everything in an editor; nothing in this object changes until it committed.
  std::unique_ptr<cfb::Editor> editor;
  if (file_.exists) {
    editor = std::make_unique<cfb::Editor>(source_->reader);
  } else {
    editor = std::make_unique<cfb::Editor>(kPackageClsid);
  }
  const bool fresh = !file_.exists;
  // Counts taken afresh that equal the stored ones leave the stored pool as it is.
  if (recount && !fresh && !widen && storedCountsMatch(refs)) pool_.markWritten();
  // The pool is written again only when counts, strings or the codepage changed. The string
  // data is made as the editor writes it, never held whole.
  const bool writePool = fresh || widen || pool_.needsWrite();
  Bytes poolStream;
  std::uint64_t dataSize = 0;
  if (writePool) poolStream = pool_.serializePool(refs, longRefs, where(), dataSize);
  const auto catalogueStreams = catalogue::encode(schemas, pool_, longRefs);
  if (writePool && (fresh || poolStream != file_.pool || pool_.textsChanged())) {
    editor->putStream(tablePath("_StringPool"), poolStream);  // kept below as the stored pool
    if (fresh || pool_.textsChanged() || !sameStringData(poolStream, dataSize)) {
      editor->putStream(tablePath("_StringData"), dataSize, [this, &refs](const cfb::StreamSink& sink) {
        pool_.writeData(refs, where(), sink);
      });
    }
  }
  if (fresh || catalogueStreams.tables != file_.tables) editor->putStream(tablePath("_Tables"), catalogueStreams.tables);
  if (fresh || catalogueStreams.columns != file_.columns) editor->putStream(tablePath("_Columns"), catalogueStreams.columns);
  std::set<std::string> written;
  for (StoredTable* t : encodeList) {
    // Rows changed in place are written over the stored stream cell by cell, so only the
    // sectors they fall in are written; anything else is encoded whole.
    const cfb::Path path = tablePath(t->schema().name);
    if (!fresh && !widen) {
      const auto stored = source_->reader->find(path);
      if (stored && stored->kind == cfb::EntryKind::Stream) {
        if (auto pieces = t->changedCells(longRefs, stored->size)) {
          for (auto& [offset, bytes] : *pieces) editor->patchStream(path, offset, std::move(bytes));
          written.insert(t->schema().name);
          continue;
        }
      }
    }
    t->shrinkToFit();  // filled by inserts: done growing for now
    // Encoded as the editor writes it, so one encoded table at a time is held.
    const std::uint64_t size = t->encodedSize(longRefs);
    if (size == 0) {
      editor->remove(path);
    } else {
      editor->putStream(path, size, [t, longRefs](const cfb::StreamSink& sink) {
        const Bytes bytes = t->encode(longRefs);
        sink(bytes.data(), bytes.size());
      });
    }
    written.insert(t->schema().name);
  }
  for (const auto& name : dropped_)
    if (!written.count(name)) editor->remove(tablePath(name));
  streams_.stage(*editor);
  if (summary_ && summary_->changed) editor->putStream({u"\u0005SummaryInformation"}, summary_->serialize());
  if (fresh || editor->hasChanges()) editor->commit(path_, files_);

  // 4. The file now matches memory: record it, and read from the new file from now on.
  if (writePool) {
    file_.hasString.assign(pool_.size(), false);
    for (std::uint32_t id = 1; id < pool_.size() && id < refs.size(); ++id)
      file_.hasString[id] = refs[id] > 0 && pool_.has(id);
    file_.pool = std::move(poolStream);
  }
  // Strings nothing refers to any more become holes a later string may take.
  if (recount) {
    for (std::uint32_t id = 1; id < pool_.size(); ++id)
      if (!pool_.referenced(id) && pool_.has(id)) pool_.release(id);
    (void)pool_.takeReleaseCandidates();
  } else {
    for (const std::uint32_t id : pool_.takeReleaseCandidates())
      if (!pool_.referenced(id) && pool_.has(id)) pool_.release(id);
  }
  pool_.markWritten();
  pool_.markTextsWritten();
  pool_.setLongRefs(longRefs);
  file_.exists = true;
  file_.longRefs = longRefs;
  file_.tables = catalogueStreams.tables;
  file_.columns = catalogueStreams.columns;
  for (auto& s : slots_)
    if (s.table) s.table->setChanged(false);
  dropped_.clear();
  if (summary_) summary_->changed = false;
  try {
    // An in-place commit leaves the editor on the file as it is now; a whole write does not.
    const auto after = editor->base();
    source_->reader = after && after != source_->reader ? after : cfb::Reader::open(path_);
  } catch (const Error& e) {
    throw Error(std::string(e.what()) + " (after commit)", e.kind());
  }
  streams_.reset();
}

bool DatabaseImpl::sameStringData(const Bytes& pool, std::uint64_t dataSize) const {
  // Same texts under the same ids (nothing added or released since the last write, which the
  // caller checked) and the same lengths at the same places give the same string data. Only a
  // large stream is left out: one in the mini stream is cheap, and putting it keeps its place.
  const Bytes& stored = file_.pool;
  if (pool.size() != stored.size() || pool.size() < 4) return false;
  const auto stream = source_->reader->find(tablePath("_StringData"));
  if (!stream || stream->kind != cfb::EntryKind::Stream || stream->size != dataSize || dataSize < 4096) return false;
  const auto u16 = [](const Bytes& b, std::size_t at) { return static_cast<std::uint32_t>(b[at] | (b[at + 1] << 8)); };
  if (u16(pool, 0) != u16(stored, 0) || u16(pool, 2) != u16(stored, 2)) return false;
  // Entries are (length, count), or (0, high length, low length, count) for a long string.
  for (std::size_t at = 4; at + 4 <= pool.size(); at += 4) {
    if (u16(pool, at) != u16(stored, at)) return false;
    if (u16(pool, at) == 0 && u16(pool, at + 2) != 0) {
      if (u16(pool, at + 2) != u16(stored, at + 2) || at + 8 > pool.size() || u16(pool, at + 4) != u16(stored, at + 4))
        return false;
      at += 4;
    } else if (u16(pool, at) == 0 && u16(stored, at + 2) != 0) {
      return false;
    }
  }
  return true;
}

bool DatabaseImpl::storedCountsMatch(const std::vector<std::uint32_t>& refs) const {
  // Only the plain layout is compared (four bytes an id); one with long strings is written.
  const Bytes& stored = file_.pool;
  if (stored.size() < 4 || stored.size() % 4 != 0) return false;
  const std::uint32_t header = static_cast<std::uint32_t>(pool_.codepage()) | (file_.longRefs ? 0x80000000u : 0);
  const auto u16 = [&](std::size_t at) { return static_cast<std::uint32_t>(stored[at] | (stored[at + 1] << 8)); };
  if ((u16(0) | (u16(2) << 16)) != header) return false;
  const std::size_t slots = stored.size() / 4;
  std::size_t last = 0;
  for (std::size_t id = 1; id < refs.size() && id < pool_.size(); ++id)
    if (refs[id] > 0 && pool_.has(id)) last = id;
  if (slots != last + 1) return false;
  for (std::size_t id = 1; id < slots; ++id) {
    const std::uint32_t len = u16(id * 4), count = u16(id * 4 + 2);
    const bool kept = id < refs.size() && refs[id] > 0 && pool_.has(id);
    if (!kept) {
      if (len != 0 || count != 0) return false;
      continue;
    }
    if (len == 0 || count != std::min<std::uint32_t>(refs[id], 0xFFFF)) return false;
  }
  return true;
}

void DatabaseImpl::countReferences(const std::vector<const Schema*>& schemas) {
  // Loaded tables count from memory; the others from their streams, which stay as they are,
  // so every id they use must keep its string.
  // Temporary references are few or none: their counts grow only as far as the ids they use.
  std::vector<std::uint32_t> refs(pool_.size(), 0), tempRefs;
  catalogue::countStrings(schemas, pool_, refs);
  for (const auto& s : slots_) {
    if (s.table) {
      s.table->countStrings(refs, tempRefs);
      continue;
    }
    const cfb::Path path = tablePath(s.schema.name);
    if (!s.persistent || !s.error.empty() || !source_->exists(path)) continue;
    const auto cells = table_stream::decode(source_->read(path), s.schema.columns, file_.longRefs, s.schema.name);
    const std::size_t ncols = s.schema.columns.size();
    for (std::size_t c = 0; c < ncols; ++c) {
      if (s.schema.columns[c].type != ColumnType::String) continue;
      for (std::size_t r = 0; r < cells.rows; ++r) {
        const std::uint32_t id = cells.values[r * ncols + c];
        if (id == 0) continue;
        if (id >= file_.hasString.size() || !file_.hasString[id])
          throw Error(where(s.schema.name) + ": row " + std::to_string(r + 1) + " refers to string id " +
                      std::to_string(id) + ", which is not in the string pool");
        ++refs[id];
      }
    }
  }
  refs.resize(pool_.size(), 0);
  pool_.setCounts(std::move(refs), std::move(tempRefs));
}

}  // namespace msi
