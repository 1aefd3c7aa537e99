// Building a transform file: change records per table, the transform's own string pool (ids
// given in the order strings are first used, counted per reference), the streams of binary
// cells, and the atomic write.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "engine/cfb/file_system.h"
#include "engine/db/string_pool.h"
#include "engine/mst/change_record.h"

namespace msi::mst {

class TransformBuilder {
 public:
  explicit TransformBuilder(int codepage);

  // Adds one record to `table` (its columns are fixed by the first record). `values` holds a
  // value for every column; only the cells `mask` carries are written. A carried binary cell
  // that is not null is written as placeholder 1 with its data in the stream "Table.key".
  void add(const std::string& table, const std::vector<Column>& columns, std::uint16_t mask,
           const Row& values);

  std::size_t recordCount() const { return records_; }
  // Strings the pool holds; more than 65535 make every string cell 3 bytes wide.
  std::size_t stringCount() const { return pool_.size() - 1; }

  // Writes the transform (root class of transforms) in one atomic commit. Throws Error naming
  // `out` when it cannot be written, or naming a string the codepage cannot hold.
  void write(const std::filesystem::path& out, msi::cfb::FileSystem& files) const;

 private:
  struct TableRecords {
    std::string name;
    std::vector<Column> columns;
    std::vector<RawRecord> records;
    std::vector<std::string> streams;  // binary-cell streams, in the order first written
  };
  TableRecords& tableFor(const std::string& table, const std::vector<Column>& columns);

  StringPool pool_;
  std::vector<std::uint32_t> refs_;  // by id
  std::vector<TableRecords> tables_;
  std::map<std::string, Bytes> streams_;  // binary cells by stream name
  std::size_t records_ = 0;
};

}  // namespace msi::mst
