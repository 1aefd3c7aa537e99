#include "tests/support/tool_runs.h"

#include <fstream>

#include <gtest/gtest.h>

#include "tests/peer/probe.h"
#include "tests/support/fixtures.h"
#include "tests/support/msitools.h"

namespace fennick::test {
namespace fs = std::filesystem;

Archives readArchives(const fs::path& folder) {
  Archives archives;
  for (const auto& e : fs::directory_iterator(folder))
    if (e.path().extension() == ".idt") archives[e.path().filename().string()] = ReadText(e.path());
  return archives;
}

Archives demoArchives() { return readArchives(fs::path(FENNICK_SOURCE_DIR) / "examples" / "demo"); }

void addArchives(Archives& archives, const fs::path& folder) {
  for (const auto& [file, text] : readArchives(folder)) {
    std::string& into = archives[file];
    std::size_t rows = 0;
    for (int header = 0; header < 3 && !into.empty(); ++header) rows = text.find('\n', rows) + 1;
    into += text.substr(rows);
  }
}

void replaceIn(Archives& archives, const std::string& file, const std::string& from, const std::string& to) {
  std::string& text = archives.at(file);
  const auto at = text.find(from);
  if (at == std::string::npos) return ADD_FAILURE() << file << " has no " << from;
  text.replace(at, from.size(), to);
}

fs::path buildPackage(const fs::path& scratch, const Archives& archives, const std::string& name) {
  const fs::path src = scratch / (name + "-archives");
  fs::create_directories(src);
  std::vector<std::string> argv = {FENNICK_MSI_CLI, "import", (scratch / name).string(), src.string()};
  for (const auto& [file, text] : archives) {
    if (text.empty()) continue;
    std::ofstream(src / file, std::ios::binary) << text;
    argv.push_back(file);
  }
  const auto run = peer::runProcess(argv, scratch);
  EXPECT_EQ(run.exitCode, 0) << run.err;
  return scratch / name;
}

std::string sourceText(const std::string& relative) { return ReadText(fs::path(FENNICK_SOURCE_DIR) / relative); }

peer::ProcessResult replay(const fs::path& scratch, const fs::path& package, const std::string& walk,
                           const std::vector<std::string>& options, const std::vector<std::string>& environment) {
  std::ofstream(scratch / "walk.txt") << walk;
  std::vector<std::string> argv;
  if (!environment.empty()) argv.push_back("env");
  argv.insert(argv.end(), environment.begin(), environment.end());
  argv.insert(argv.end(), {FENNICK_TOOL, "--replay", (scratch / "walk.txt").string()});
  argv.insert(argv.end(), options.begin(), options.end());
  argv.push_back(package.string());
  return peer::runProcess(argv, scratch);
}

Dump readDump(const fs::path& file) {
  Dump dump;
  std::vector<std::vector<std::string>>* section = nullptr;
  for (const std::string& line : lines(ReadText(file))) {
    if (line.rfind("# ", 0) == 0) {
      section = &dump[line.substr(2)];
    } else if (section && !line.empty()) {
      section->push_back(peer::parseRecords(line).front());
    }
  }
  return dump;
}

}  // namespace fennick::test
