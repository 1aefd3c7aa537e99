// Building and writing a transform file.
#include "engine/mst/transform_builder.h"

#include <algorithm>

#include "engine/cfb/compound_file.h"
#include "engine/db/stream_name.h"
#include "engine/db/table_stream.h"
#include "engine/mst/row_key.h"
#include "engine/mst/transform_file.h"

namespace msi::mst {
namespace {

constexpr std::uint32_t kMaxShortRef = 0xFFFF;
constexpr std::uint32_t kMaxLongRef = 0xFFFFFF;

cfb::Path tablePath(std::string_view table) { return {stream_name::encode(table, true)}; }

}  // namespace

TransformBuilder::TransformBuilder(int codepage) : pool_(codepage) {}

TransformBuilder::TableRecords& TransformBuilder::tableFor(const std::string& table,
                                                           const std::vector<Column>& columns) {
  for (auto& t : tables_)
    if (t.name == table) return t;
  tables_.push_back(TableRecords{table, columns, {}, {}});
  return tables_.back();
}

void TransformBuilder::add(const std::string& table, const std::vector<Column>& columns,
                           std::uint16_t mask, const Row& values) {
  TableRecords& t = tableFor(table, columns);
  RawRecord r;
  r.mask = mask;
  r.cells.assign(t.columns.size(), std::nullopt);
  std::string stream;
  for (std::size_t c = 0; c < t.columns.size(); ++c) {
    if (!carries(mask, t.columns, c)) continue;
    const Column& col = t.columns[c];
    const Value& v = c < values.size() ? values[c] : Value();
    std::uint32_t stored = 0;
    switch (col.type) {
      case ColumnType::Integer:
        if (v.isInt()) {
          const auto s = table_stream::storeInt(v.asInt(), col.width);
          if (!s)
            throw Error("table `" + table + "`: column `" + col.name + "`: " + std::to_string(v.asInt()) +
                        " does not fit a " + std::to_string(col.width) + "-byte integer");
          stored = *s;
        }
        break;
      case ColumnType::String:
        if (v.isString()) {
          stored = pool_.intern(v.asString());
          if (stored >= refs_.size()) refs_.resize(stored + 1, 0);
          ++refs_[stored];
        }
        break;
      case ColumnType::Binary:
        if (v.isBlob()) {
          stored = 1;
          if (stream.empty()) {
            stream = table + "." + keyText(values, keyColumns(t.columns));
            if (stream_name::encode(stream, false).size() > stream_name::kMaxStoredLength)
              throw Error("table `" + table + "`: the stream name `" + stream +
                          "` of a binary cell is too long to be stored");
            if (std::find(t.streams.begin(), t.streams.end(), stream) == t.streams.end())
              t.streams.push_back(stream);
            streams_[stream] = v.asBlob().bytes();
          }
        }
        break;
    }
    r.cells[c] = stored;
  }
  t.records.push_back(std::move(r));
  ++records_;
}

void TransformBuilder::write(const std::filesystem::path& out, cfb::FileSystem& files) const {
  const std::uint32_t maxId = pool_.size() - 1;
  if (maxId > kMaxLongRef)
    throw Error(out.string() + ": " + std::to_string(maxId) + " strings are more than a transform can hold");
  const bool longRefs = maxId > kMaxShortRef;
  std::vector<std::uint32_t> refs = refs_;
  refs.resize(pool_.size(), 0);
  const auto poolStreams = pool_.serialize(refs, longRefs, out.string());
  cfb::Editor editor(kTransformClsid);
  // Each table's records, then the streams of its binary cells, as the installer orders them.
  for (const auto& t : tables_) {
    Bytes bytes;
    for (const auto& r : t.records) encodeRecord(bytes, r, t.columns, longRefs);
    editor.putStream(tablePath(t.name), std::move(bytes));
    for (const auto& s : t.streams) editor.putStream({stream_name::encode(s, false)}, streams_.at(s));
  }
  editor.putStream(tablePath("_StringPool"), poolStreams.pool);
  editor.putStream(tablePath("_StringData"), poolStreams.data);
  editor.commit(out, files);
}

}  // namespace msi::mst
