// Reading a transform file: its own string pool, its table streams of change records, the
// streams of binary cells it brings, and its summary information.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/cfb/compound_file.h"
#include "engine/db/string_pool.h"
#include "engine/db/summary_info.h"
#include "engine/mst/change_record.h"

namespace msi::mst {

// Root class id of every transform.
inline constexpr cfb::Clsid kTransformClsid = {0x82, 0x10, 0x0C, 0x00, 0x00, 0x00, 0x00, 0x00,
                                               0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};

class TransformFile {
 public:
  // Opens and checks the container and the string pool. Throws Error("<path>: <cause>").
  static TransformFile open(const std::filesystem::path& path);
  static TransformFile fromReader(std::shared_ptr<const cfb::Reader> reader);

  const std::string& name() const { return name_; }
  const StringPool& pool() const { return pool_; }
  bool longRefs() const { return pool_.longRefs(); }
  int codepage() const { return pool_.codepage(); }

  // Names of the tables with change records, in storage order, `_Tables` and `_Columns`
  // included, the string pool excluded.
  const std::vector<std::string>& tables() const { return tables_; }
  bool hasTable(std::string_view table) const;
  // The records of `table` decoded with `columns` (its layout after schema changes).
  std::vector<RawRecord> records(std::string_view table, const std::vector<Column>& columns) const;
  std::size_t streamSize(std::string_view table) const;

  // A binary-cell stream ("Table.key"), nullopt when the transform does not hold it.
  std::optional<Bytes> binaryStream(std::string_view name) const;
  std::optional<SummaryInfo> summary() const;

  // Text of string `id` of the transform's pool; throws Error naming `where` for an id the
  // pool does not hold (0 is null and gives "").
  std::string string(std::uint32_t id, std::string_view where) const;

 private:
  Bytes read(const cfb::Path& path) const;

  std::shared_ptr<const cfb::Reader> reader_;
  std::string name_;
  StringPool pool_;
  std::vector<std::string> tables_;
};

}  // namespace msi::mst
