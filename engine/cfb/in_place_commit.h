// Committing changes into the file a Reader reads, writing only what changed. Private to
// engine/cfb.
#pragma once

#include <filesystem>

#include "engine/cfb/compound_reader.h"
#include "engine/cfb/entry_tree.h"
#include "engine/cfb/file_system.h"

namespace msi::cfb {

// Writes the tree `root`, built over `base`, into the file `base` reads (`target`),
// through `files`.
//
// Shadow paging: no sector the current header reaches is ever overwritten. New stream data,
// and every directory, FAT, DIFAT, mini FAT and mini stream sector whose content changes, go
// to sectors that are free in the current state or appended at the end; unchanged sectors
// stay where they are. Once those writes are flushed to disk, the 512-byte header, which
// points at the new FAT and directory, is written and flushed: that single sector write is
// the moment the new state replaces the old. A failure before it truncates appended sectors
// away again and leaves the old state (only sectors that were free may hold new bytes); a
// crash before it leaves the old state too. The cost is the changed data plus the changed
// allocation and directory sectors; the allocation tables are only read, once, to find which
// sectors are in use.
//
// Sectors freed by this commit are not reused until the next one, so a Reader opened before
// it keeps reading consistent old content until then.
//
// Throws Error("<target>: <cause>"), among others when the file changed on disk since `base`
// opened it.
void commitInPlace(const CompoundReader& base, const EntryNode& root, const std::filesystem::path& target,
                   FileSystem& files);

}  // namespace msi::cfb
