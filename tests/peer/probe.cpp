#include "tests/peer/probe.h"

#include <unistd.h>

#include <cstdlib>

namespace fennick::peer {
namespace fs = std::filesystem;

namespace {

fs::path fromEnv(const char* name, const char* fallback) {
  const char* env = std::getenv(name);
  return env && *env ? fs::path(env) : fs::path(fallback);
}

std::string checkUnavailable() {
  const fs::path probe = msiprobePath();
  const fs::path runner = wineRunPath();
  std::error_code ec;
  if (probe.empty() || !fs::is_regular_file(probe, ec))
    return "msiprobe.exe not built (" + probe.string() +
           "; needs x86_64-w64-mingw32-gcc and wine at configure time)";
  if (runner.empty() || !fs::is_regular_file(runner, ec))
    return "runner script not found (" + runner.string() + ")";
  const ProcessResult check =
      runProcess({runner.string(), "--check"},
                 fs::temp_directory_path() / ("fennick-peer-check-" + std::to_string(getpid())));
  if (check.exitCode != 0)
    return check.err.empty() ? runner.string() + " --check failed" : check.err;
  return {};
}

std::vector<std::string> probeCommand(const std::vector<std::string>& args) {
  std::vector<std::string> argv{wineRunPath().string(), msiprobePath().string()};
  argv.insert(argv.end(), args.begin(), args.end());
  return argv;
}

}  // namespace

fs::path msiprobePath() { return fromEnv("FENNICK_MSIPROBE", FENNICK_MSIPROBE_DEFAULT); }

fs::path wineRunPath() { return fromEnv("FENNICK_WINE_RUN", FENNICK_WINE_RUN_DEFAULT); }

std::string probeUnavailable() {
  static const std::string why = checkUnavailable();
  return why;
}

ProcessResult runProbe(const std::vector<std::string>& args, const fs::path& scratch) {
  return runProcess(probeCommand(args), scratch);
}

std::string probeOutput(const std::vector<std::string>& args, const fs::path& scratch) {
  return outputOf(probeCommand(args), scratch);
}

std::vector<Record> parseRecords(std::string_view text) {
  std::vector<Record> out;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
    Record record(1);
    for (size_t i = 0; i < line.size(); ++i) {
      const char c = line[i];
      if (c == '\t') {
        record.emplace_back();
      } else if (c == '\\' && i + 1 < line.size()) {
        const char e = line[++i];
        record.back() += e == 't' ? '\t' : e == 'n' ? '\n' : e == 'r' ? '\r' : e;
      } else {
        record.back() += c;
      }
    }
    out.push_back(std::move(record));
  }
  return out;
}

std::vector<Record> recordsOf(const std::vector<Record>& records, std::string_view kind) {
  std::vector<Record> out;
  for (const Record& r : records)
    if (!r.empty() && r.front() == kind) out.emplace_back(r.begin() + 1, r.end());
  return out;
}

WineSession runSession(const fs::path& pkg, const std::vector<std::string>& args, const fs::path& scratch) {
  std::vector<std::string> argv{"session", pkg.string()};
  argv.insert(argv.end(), args.begin(), args.end());
  WineSession wine;
  const auto records = parseRecords(probeOutput(argv, scratch));
  for (const Record& r : recordsOf(records, "eval")) wine.evals[r.at(1)] = r.at(0);
  for (const Record& r : recordsOf(records, "feature")) wine.features[r.at(0)] = r.at(1);
  for (const Record& r : recordsOf(records, "directory")) wine.directories[r.at(0)] = r.at(1);
  for (const Record& r : recordsOf(records, "property")) wine.properties[r.at(0)] = r.at(1);
  return wine;
}

std::string differencesOf(const std::string& where, const std::string& what,
                          const std::map<std::string, std::string>& ours,
                          const std::map<std::string, std::string>& wine) {
  std::map<std::string, std::pair<std::string, std::string>> both;
  for (const auto& [name, value] : ours) both[name] = {value, "nothing"};
  for (const auto& [name, value] : wine) both.try_emplace(name, "nothing", "").first->second.second = value;
  std::string out;
  for (const auto& [name, values] : both)
    if (values.first != values.second)
      out += "\n  " + where + ": " + what + " " + name + " is " + values.first + ", Wine says " + values.second;
  return out;
}

}  // namespace fennick::peer
