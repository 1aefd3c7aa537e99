// Reading a transform file; every failure names the file and the cause.
#include "engine/mst/transform_file.h"

#include <algorithm>

#include "engine/db/stream_name.h"

namespace msi::mst {
namespace {

const std::u16string kSummaryName = u"\u0005SummaryInformation";

cfb::Path tablePath(std::string_view table) { return {stream_name::encode(table, true)}; }

}  // namespace

TransformFile TransformFile::open(const std::filesystem::path& path) {
  std::shared_ptr<const cfb::Reader> reader;
  reader = cfb::Reader::open(path);
  return fromReader(std::move(reader));
}

TransformFile TransformFile::fromReader(std::shared_ptr<const cfb::Reader> reader) {
  TransformFile t;
  t.reader_ = std::move(reader);
  t.name_ = t.reader_->name();
  if (t.reader_->rootClsid() != kTransformClsid)
    throw Error(t.name_ + ": not a transform (its root class is not that of transforms)");
  std::vector<cfb::EntryInfo> entries;
  entries = t.reader_->list();
  bool hasPool = false, hasData = false;
  for (const auto& e : entries) {
    if (e.kind != cfb::EntryKind::Stream) continue;
    const auto decoded = stream_name::decode(e.name);
    if (!decoded.table) continue;
    if (decoded.name == "_StringPool") {
      hasPool = true;
    } else if (decoded.name == "_StringData") {
      hasData = true;
    } else if (std::find(t.tables_.begin(), t.tables_.end(), decoded.name) == t.tables_.end()) {
      t.tables_.push_back(decoded.name);
    }
  }
  if (!hasPool) throw Error(t.name_ + ": transform has no string pool");
  const Bytes pool = t.read(tablePath("_StringPool"));
  const Bytes data = hasData ? t.read(tablePath("_StringData")) : Bytes();
  t.pool_ = StringPool::parse(pool, data, t.name_);
  return t;
}

Bytes TransformFile::read(const cfb::Path& path) const {
  return reader_->read(path);
}

bool TransformFile::hasTable(std::string_view table) const {
  return std::find(tables_.begin(), tables_.end(), table) != tables_.end();
}

std::vector<RawRecord> TransformFile::records(std::string_view table,
                                              const std::vector<Column>& columns) const {
  if (!hasTable(table)) return {};
  return decodeRecords(read(tablePath(table)), columns, longRefs(),
                       name_ + ": changes of table `" + std::string(table) + "`");
}

std::size_t TransformFile::streamSize(std::string_view table) const {
  const auto info = reader_->find(tablePath(table));
  return info ? static_cast<std::size_t>(info->size) : 0;
}

std::optional<Bytes> TransformFile::binaryStream(std::string_view name) const {
  const cfb::Path path{stream_name::encode(name, false)};
  if (path.front().size() > stream_name::kMaxStoredLength) return std::nullopt;
  if (!reader_->find(path)) return std::nullopt;
  return read(path);
}

std::optional<SummaryInfo> TransformFile::summary() const {
  const cfb::Path path{kSummaryName};
  if (!reader_->find(path)) return std::nullopt;
  return SummaryInfo::parse(read(path), name_);
}

std::string TransformFile::string(std::uint32_t id, std::string_view where) const {
  if (id != 0 && !pool_.has(id))
    throw Error(std::string(where) + ": string id " + std::to_string(id) +
                " is not in the transform's string pool");
  return std::string(pool_.at(id));
}

}  // namespace msi::mst
