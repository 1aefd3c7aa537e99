// Writes an entry tree as a complete new compound file. Private to engine/cfb.
#pragma once

#include <cstdint>
#include <string>

#include "engine/cfb/compound_reader.h"
#include "engine/cfb/entry_tree.h"
#include "engine/cfb/file_output.h"

namespace msi::cfb {

// Lays out and writes the file: header, FAT, DIFAT, directory, mini FAT, mini stream, then
// the large streams, each region contiguous. Entries are numbered breadth first with siblings
// in name order, times are zero: the same tree always gives the same bytes. `base` supplies
// the content of streams that were not replaced (null when there are none). Throws Error
// ("<targetName>: <cause>") for content the format cannot hold and SystemFailure for I/O.
void writeWholeFile(const EntryNode& root, std::uint16_t major, const CompoundReader* base,
                    SequentialWriter& out, const std::string& targetName);

}  // namespace msi::cfb
