// Access to msiprobe, the Windows program that drives Wine's installer service, for
// differential tests. Tests that need it call FENNICK_REQUIRE_PROBE() first, which skips
// (saying why) on a machine without Wine, its prefix or the built probe.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "tests/peer/process.h"

namespace fennick::peer {

// $FENNICK_MSIPROBE, else the msiprobe.exe this build made.
std::filesystem::path msiprobePath();
// $FENNICK_WINE_RUN, else tests/peer/wine-run.sh of this checkout.
std::filesystem::path wineRunPath();
// Why msiprobe cannot run here (the missing piece named); empty when it can.
std::string probeUnavailable();

// Runs `msiprobe ARGS...` under Wine. Paths may be Unix paths. `scratch` is a folder the
// caller owns (the captured output goes there).
ProcessResult runProbe(const std::vector<std::string>& args, const std::filesystem::path& scratch);
// runProbe for a run that must succeed (see outputOf); returns what the probe printed.
std::string probeOutput(const std::vector<std::string>& args, const std::filesystem::path& scratch);

// One line of the probe's output, split at TAB, each field unescaped (\\ \t \n \r).
using Record = std::vector<std::string>;
std::vector<Record> parseRecords(std::string_view text);
// The records whose first field is `kind`, without that field ("feature" -> {NAME, STATE, ...}).
std::vector<Record> recordsOf(const std::vector<Record>& records, std::string_view kind);

// What `msiprobe session PKG ARGS...` reports, by name: conditions evaluated (text -> result),
// feature request states, resolved directories and properties. A failed run is a test failure.
struct WineSession {
  std::map<std::string, std::string> evals, features, directories, properties;
};
WineSession runSession(const std::filesystem::path& pkg, const std::vector<std::string>& args,
                       const std::filesystem::path& scratch);
// Each name whose value differs between our side and Wine's, as lines "\n  WHERE: WHAT NAME is
// OURS, Wine says WINE" ("nothing" for a side that lacks the name).
std::string differencesOf(const std::string& where, const std::string& what,
                          const std::map<std::string, std::string>& ours,
                          const std::map<std::string, std::string>& wine);

}  // namespace fennick::peer

#define FENNICK_REQUIRE_PROBE()                                                     \
  do {                                                                              \
    if (const std::string why = ::fennick::peer::probeUnavailable(); !why.empty()) \
      GTEST_SKIP() << "Wine peer unavailable: " << why;                             \
  } while (0)
