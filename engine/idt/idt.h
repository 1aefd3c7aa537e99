// Table archives: one table as tab-separated text (.idt), binary cells as files in a folder
// named after the table beside the archive.
#pragma once

#include <filesystem>
#include <string_view>

#include "engine/db/database.h"

namespace msi::idt {

// Writes `table` of `db` to folder/file. Besides ordinary tables, "_SummaryInformation" and
// "_ForceCodepage" give the summary information and the codepage. Throws Error naming the
// table or file. Files are written through `files`, each replaced atomically.
void exportTable(Database& db, std::string_view table, const std::filesystem::path& folder,
                 std::string_view file, cfb::FileSystem& files = cfb::FileSystem::system());

// Reads folder/file into `db`: creates the table or replaces the rows of the existing one.
// Nothing changes in `db` when the archive is bad (wrong column counts, bad definitions,
// duplicate keys, missing binary files): the Error names the file and line.
void importTable(Database& db, const std::filesystem::path& folder, std::string_view file);

}  // namespace msi::idt
