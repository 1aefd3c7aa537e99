// The whole run of the tool against copying the same package, in the same run.
//
// For each N (default 10,000, 100,000 and 400,000) the bench builds a package from the demo's
// table archives with N added rows in each of File, Component, Registry and MsiFileHash, then
// times, each as a fresh process and the median of a few runs:
//   - the tool replaying examples/demo.walk on it (`fennick --replay`), with its processor time
//     (user plus system: on a busy machine the wall time is mostly waiting for a processor), its
//     peak resident memory and the moment the first dialog reached the walk player;
//   - a plain file copy of the package (`cp`): the floor of any copy;
//   - msitools' table-by-table copy: `msiinfo export` of every table, then `msibuild -i`.
// It prints one row per N with the ratios the tool is held to: the run's time against
// msitools' copy, and its peak memory against the package size.
//
// Usage: tool_bench [--msitools-max N] [--tool PATH] [--msi-cli PATH] [N...]
//   --msitools-max N  runs msitools' copy only for packages of at most N added rows (it takes
//                     hours at 400,000); larger ones print "skipped" and no ratio against it.
//   --tool, --msi-cli  another build of `fennick` and `fennick-msi` (say, before a change).
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "bench/child_run.h"

namespace {
namespace fs = std::filesystem;

constexpr int kRepeats = 3;
std::string msiCliPath = FENNICK_MSI_CLI;

using bench::Measure;
using bench::runChild;

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The median run of `repeats` (by time); not ok when any run failed.
Measure medianOf(int repeats, const std::vector<std::string>& args, const fs::path& errFile) {
  std::vector<Measure> runs;
  for (int i = 0; i < repeats; ++i) {
    runs.push_back(runChild(args, errFile));
    if (!runs.back().ok) return runs.back();
  }
  std::sort(runs.begin(), runs.end(), [](const Measure& a, const Measure& b) { return a.seconds < b.seconds; });
  return runs[runs.size() / 2];
}

void appendRows(const fs::path& file, const std::string& header, std::size_t n,
                void (*row)(std::string&, std::size_t)) {
  std::string text = fs::exists(file) ? readFile(file) : header;
  text.reserve(text.size() + n * 96);
  for (std::size_t i = 0; i < n; ++i) row(text, i);
  std::ofstream(file, std::ios::binary) << text;
}

// The demo's archives plus N rows in each of the four tables that grow large in real packages.
bool buildPackage(const fs::path& folder, std::size_t n, const fs::path& package) {
  const fs::path archives = folder / "archives";
  fs::create_directories(archives);
  for (const auto& e : fs::directory_iterator(fs::path(FENNICK_SOURCE_DIR) / "examples" / "demo"))
    fs::copy_file(e.path(), archives / e.path().filename(), fs::copy_options::overwrite_existing);
  appendRows(archives / "Component.idt", "", n, [](std::string& t, std::size_t i) {
    char line[160];
    std::snprintf(line, sizeof line, "Bulk%zu\t{%08zX-2222-4333-8444-555555555555}\tINSTALLDIR\t0\t\tFile%zu\r\n", i, i, i);
    t += line;
  });
  appendRows(archives / "File.idt",
             "File\tComponent_\tFileName\tFileSize\tVersion\tLanguage\tAttributes\tSequence\r\n"
             "s72\ts72\tl255\ti4\tS72\tS20\tI2\ti2\r\nFile\tFile\r\n",
             n, [](std::string& t, std::size_t i) {
               char line[200];
               std::snprintf(line, sizeof line, "File%zu\tBulk%zu\tfile%zu.dat|File number %zu.dat\t%zu\t\t\t512\t%zu\r\n",
                             i, i, i, i, 1000 + i, (i % 32000) + 1);
               t += line;
             });
  appendRows(archives / "Registry.idt",
             "Registry\tRoot\tKey\tName\tValue\tComponent_\r\ns72\ti2\tl255\tL255\tL0\ts72\r\nRegistry\tRegistry\r\n",
             n, [](std::string& t, std::size_t i) {
               char line[220];
               std::snprintf(line, sizeof line,
                             "Reg%zu\t2\tSoftware\\Fennick\\Demo\\Key%zu\tValue%zu\t#%zu\tBulk%zu\r\n", i, i / 16, i, i, i);
               t += line;
             });
  appendRows(archives / "MsiFileHash.idt",
             "File_\tOptions\tHashPart1\tHashPart2\tHashPart3\tHashPart4\r\ns72\ti2\ti4\ti4\ti4\ti4\r\nMsiFileHash\tFile_\r\n",
             n, [](std::string& t, std::size_t i) {
               char line[160];
               std::snprintf(line, sizeof line, "File%zu\t0\t%zu\t%zu\t%zu\t%zu\r\n", i, i * 7919 % 2147483647,
                             i * 104729 % 2147483647, i * 1299709 % 2147483647, i * 15485863 % 2147483647);
               t += line;
             });
  std::vector<std::string> argv = {msiCliPath, "import", package.string(), archives.string()};
  for (const auto& e : fs::directory_iterator(archives)) argv.push_back(e.path().filename().string());
  return runChild(argv, folder / "import.err").ok;
}

// "fennick: first dialog after X s" from the tool's standard error under FENNICK_TIMING.
double firstDialog(const std::string& err) {
  const auto at = err.find("first dialog after ");
  return at == std::string::npos ? -1 : std::atof(err.c_str() + at + 19);
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::size_t> sizes;
  std::size_t msitoolsMax = static_cast<std::size_t>(-1);
  std::string toolPath = FENNICK_TOOL;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if ((arg == "--msitools-max" || arg == "--tool" || arg == "--msi-cli") && i + 1 < argc) {
      const std::string value = argv[++i];
      if (arg == "--msitools-max") msitoolsMax = std::strtoull(value.c_str(), nullptr, 10);
      if (arg == "--tool") toolPath = value;
      if (arg == "--msi-cli") msiCliPath = value;
      continue;
    }
    char* end = nullptr;
    const std::size_t n = std::strtoull(arg.c_str(), &end, 10);
    if (arg.empty() || *end != '\0' || n == 0) {
      std::fprintf(stderr, "usage: tool_bench [--msitools-max N] [--tool PATH] [--msi-cli PATH] [N...]\n");
      return 2;
    }
    sizes.push_back(n);
  }
  if (sizes.empty()) sizes = {10000, 100000, 400000};
  setenv("FENNICK_TIMING", "1", 1);

  char pattern[] = "/tmp/fennick-tool-bench-XXXXXX";
  if (!mkdtemp(pattern)) {
    std::perror("mkdtemp");
    return 1;
  }
  const fs::path root = pattern;
  // The tool's scratch folder goes inside the bench's, and away from a shared runtime folder.
  setenv("TMPDIR", root.c_str(), 1);
  unsetenv("XDG_RUNTIME_DIR");

  std::printf("whole run of the tool (replay of examples/demo.walk) vs copying the same package; medians of %d\n"
              "(msitools runs once from N = 100,000 on)\n", kRepeats);
  std::printf("%8s %9s | %8s %8s %9s %8s %9s | %8s %9s %9s | %9s %10s\n", "N", "pkg MB", "run s", "cpu s",
              "run MB", "1st dlg", "RSS/pkg", "cp s", "msi s", "msi MB", "run/msi", "run/cp");
  int failures = 0;
  for (std::size_t n : sizes) {
    const fs::path folder = root / std::to_string(n);
    fs::create_directories(folder);
    const fs::path package = folder / "bulk.msi";
    if (!buildPackage(folder, n, package)) {
      std::fprintf(stderr, "error: N=%zu: the package could not be built (see %s)\n", n,
                   (folder / "import.err").c_str());
      ++failures;
      continue;
    }
    const double packageMb = static_cast<double>(fs::file_size(package)) / (1024.0 * 1024.0);

    std::string walk = readFile(fs::path(FENNICK_SOURCE_DIR) / "examples" / "demo.walk");
    const std::string save = "save \"demo.mst\"";
    walk.replace(walk.find(save), save.size(), "save \"" + (folder / "out.mst").string() + "\"");
    std::ofstream(folder / "bench.walk") << walk;
    const Measure tool = medianOf(kRepeats, {toolPath, "--replay", (folder / "bench.walk").string(),
                                             package.string()}, folder / "tool.err");
    const Measure copy = medianOf(kRepeats, {"cp", package.string(), (folder / "copy.msi").string()}, folder / "cp.err");
    // msitools: every table exported to its archive, then all imported into a new package.
    const std::string script =
        "set -e; d=$(mktemp -d -p \"$1\"); for t in $(msiinfo tables \"$2\"); do "
        "case $t in _*) continue;; esac; msiinfo export \"$2\" \"$t\" > \"$d/$t.idt\"; done; "
        "cd \"$d\" && msibuild new.msi -i *.idt; rm -rf \"$d\"";
    // msitools takes minutes on the large packages: one run there.
    const bool peerRuns = n <= msitoolsMax;
    Measure peer;
    peer.ok = true;
    if (peerRuns)
      peer = medianOf(n >= 100000 ? 1 : kRepeats, {"sh", "-c", script, "sh", folder.string(), package.string()},
                      folder / "msitools.err");
    if (!tool.ok || !copy.ok || !peer.ok) {
      std::fprintf(stderr, "error: N=%zu: a run failed:\n%s%s%s", n, tool.err.c_str(), copy.err.c_str(),
                   peer.err.c_str());
      ++failures;
      continue;
    }
    const double toolMb = static_cast<double>(tool.maxrssKb) / 1024.0;
    std::printf("%8zu %9.1f | %8.3f %8.3f %9.1f %8.3f %9.1f | %8.3f ", n, packageMb, tool.seconds, tool.cpuSeconds,
                toolMb, firstDialog(tool.err), toolMb / packageMb, copy.seconds);
    if (peerRuns) {
      std::printf("%9.3f %9.1f | %9.3f ", peer.seconds, static_cast<double>(peer.maxrssKb) / 1024.0,
                  tool.seconds / peer.seconds);
    } else {
      std::printf("%9s %9s | %9s ", "skipped", "-", "-");
    }
    std::printf("%10.1f   target MB %.0f%s\n", tool.seconds / copy.seconds, 3 * packageMb + 40,
                toolMb <= 3 * packageMb + 40 ? "" : " (over)");
    std::error_code ec;
    fs::remove_all(folder, ec);
  }
  std::printf("targets: run/msi <= 0.100 at every N; run MB <= 3 x pkg MB + 40\n");
  std::error_code ec;
  fs::remove_all(root, ec);
  return failures == 0 ? 0 : 1;
}
