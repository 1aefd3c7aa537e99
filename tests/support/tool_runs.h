// Runs of the built programs for the tool tests: the demo package built from its archives
// (edited first where a test needs), headless replays of walks, and the table dumps they write.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "tests/peer/process.h"

namespace fennick::test {

// Table archives by file name ("Property.idt" -> its text); an empty text drops the table.
using Archives = std::map<std::string, std::string>;
// The .idt archives of a folder, and the demo package's (examples/demo).
Archives readArchives(const std::filesystem::path& folder);
Archives demoArchives();
// Adds the archives of `folder`: the rows of a table `archives` has go after its rows, a table
// it lacks comes whole.
void addArchives(Archives& archives, const std::filesystem::path& folder);
// Replaces the first `from` in the archive `file` with `to` (a test failure when absent).
void replaceIn(Archives& archives, const std::string& file, const std::string& from, const std::string& to);
// `fennick-msi import` of the archives, written to scratch/NAME-archives (where the files of
// binary cells they name may be put first), into scratch/NAME; returns the package's path.
std::filesystem::path buildPackage(const std::filesystem::path& scratch, const Archives& archives,
                                   const std::string& name = "package.msi");
// A file of the source tree ("tests/dialogs/walks/putty-browse.walk"), read whole.
std::string sourceText(const std::string& relative);

// `fennick --replay WALK [OPTIONS] PACKAGE`, the walk written to scratch/walk.txt first; run
// through env(1) with `environment` (its arguments) when given.
peer::ProcessResult replay(const std::filesystem::path& scratch, const std::filesystem::path& package,
                           const std::string& walk, const std::vector<std::string>& options = {},
                           const std::vector<std::string>& environment = {});

// What `--dump-tables` wrote: each "# NAME" section's rows, fields unescaped.
using Dump = std::map<std::string, std::vector<std::vector<std::string>>>;
Dump readDump(const std::filesystem::path& file);

}  // namespace fennick::test
