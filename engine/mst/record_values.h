// Change records as cell values: strings looked up in the transform's pool, integers
// unbiased, binary cells read from the transform's "Table.key" streams.
#pragma once

#include <string_view>
#include <vector>

#include "engine/db/value.h"
#include "engine/mst/change_record.h"
#include "engine/mst/transform_file.h"

namespace msi::mst {

struct DecodedRecord {
  RawRecord::Kind kind = RawRecord::Insert;
  std::uint16_t mask = 0;
  Row values;                // one per column; null where the record carries nothing
  std::vector<bool> carried; // which columns the record carries
};

// Throws Error naming `where` for a string id the pool lacks or a binary cell whose stream the
// transform does not hold.
DecodedRecord decodeRecord(const TransformFile& file, std::string_view table,
                           const std::vector<Column>& columns, const RawRecord& raw,
                           std::string_view where);

}  // namespace msi::mst
