// A session over a real package against msitools reading the same package, in the same run.
//
// The package is the largest .msi (by file size) in the fixtures folder. Ours: open it as an
// installer session and run its InstallUISequence in order under the rows' conditions, passing
// over the dialogs and stopping at ExecuteAction (what `fennick-msi session` does). Peer:
// `msiinfo export PKG Property` to /dev/null. Both sides are fresh processes (ours re-runs this
// program), timed from fork to exit; wait4 gives each its peak resident memory. Each side runs
// several times and the medians are printed, since one run on a busy machine is noisy.
//
// Usage: session_bench [FIXTURES_DIR]   (default: $FENNICK_FIXTURES, else the configured folder)
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
#include <string>
#include <vector>

#include "bench/child_run.h"
#include "engine/session/sequence_runner.h"
#include "engine/session/session.h"

namespace {
namespace fs = std::filesystem;

constexpr int kRepeats = 5;
constexpr const char* kOursFlag = "--run-session";

// Messages would only add terminal output to the timing; they are counted instead.
class CountingHost : public msi::SessionHost {
 public:
  void message(msi::MessageKind, std::string_view) override { ++count; }
  int count = 0;
};

msi::SequenceResult runUISequence(const char* package, CountingHost& host) {
  msi::SessionOptions options;
  options.host = &host;
  auto session = msi::Session::open(package, options);
  msi::SequenceOptions sequence;
  sequence.runDialogs = false;
  sequence.stopAtExecuteAction = true;
  return msi::runSequence(*session, "InstallUISequence", sequence);
}

// The timed work of our side, in the re-run child. Exit status 0 when the sequence went through.
int runSession(const char* package) {
  try {
    CountingHost host;
    const msi::SequenceResult run = runUISequence(package, host);
    if (!run.tableFound) {
      std::fprintf(stderr, "error: %s: no InstallUISequence table\n", package);
      return 1;
    }
    if (run.status != msi::ActionStatus::Success) {
      std::fprintf(stderr, "error: %s: InstallUISequence ended with status %d after %zu rows\n", package,
                   static_cast<int>(run.status), run.steps.size());
      return 1;
    }
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "error: %s\n", e.what());
    return 1;
  }
}

fs::path fixturesFolder(int argc, char** argv) {
  if (argc > 1) return argv[1];
  if (const char* env = std::getenv("FENNICK_FIXTURES"); env && *env) return env;
  return FENNICK_FIXTURES_DEFAULT;
}

// The largest .msi under `folder`, by file size; empty when there is none.
fs::path largestPackage(const fs::path& folder, std::uintmax_t& size) {
  fs::path best;
  size = 0;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(folder, ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec)) {
    if (!it->is_regular_file(ec) || it->path().extension() != ".msi") continue;
    const std::uintmax_t s = it->file_size(ec);
    if (!ec && s > size) {
      size = s;
      best = it->path();
    }
  }
  return best;
}

using bench::Measure;
using bench::runChild;

template <typename T>
T median(std::vector<T> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// Runs each side in turn, kRepeats times, so that both see the same background load.
struct Series {
  std::vector<double> seconds;
  std::vector<long> maxrssKb;
  int failures = 0;
  void add(const Measure& m) {
    if (!m.ok) {
      ++failures;
      return;
    }
    seconds.push_back(m.seconds);
    maxrssKb.push_back(m.maxrssKb);
  }
  bool empty() const { return seconds.empty(); }
};

void print(const char* who, const Series& s) {
  if (s.empty()) {
    std::printf("%-44s every run FAILED (see errors above)\n", who);
    return;
  }
  std::printf("%-44s median %8.4f s (min %.4f, max %.4f) | peak %7.1f MB | %zu runs%s\n", who, median(s.seconds),
              *std::min_element(s.seconds.begin(), s.seconds.end()),
              *std::max_element(s.seconds.begin(), s.seconds.end()), median(s.maxrssKb) / 1024.0,
              s.seconds.size(), s.failures ? ", some FAILED" : "");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], kOursFlag) == 0) return runSession(argv[2]);

  std::error_code ec;
  fs::path folder = fixturesFolder(argc, argv);
  if (!fs::is_directory(folder, ec)) {
    std::printf("fixtures folder %s not found: nothing to measure\n", folder.c_str());
    return 0;
  }
  folder = fs::canonical(folder, ec);
  std::uintmax_t size = 0;
  const fs::path package = largestPackage(folder, size);
  if (package.empty()) {
    std::printf("no .msi under %s: nothing to measure\n", folder.c_str());
    return 0;
  }
  const bool havePeer = std::system("command -v msiinfo >/dev/null 2>&1") == 0;
  std::printf("package: %s (%ju bytes, the largest .msi under %s)\n", package.c_str(), size, folder.c_str());
  std::printf("ours: session, InstallUISequence without dialogs up to ExecuteAction; "
              "peer: msiinfo export PKG Property > /dev/null\n");
  if (!havePeer) std::printf("msiinfo not found: ours only\n");

  const std::string self = fs::read_symlink("/proc/self/exe", ec).string();
  const std::string exe = ec ? std::string(argv[0]) : self;
  Series ours, peer;
  for (int i = 0; i < kRepeats; ++i) {
    ours.add(runChild({exe, kOursFlag, package.string()}));
    if (havePeer) peer.add(runChild({"msiinfo", "export", package.string(), "Property"}));
  }
  print("ours (session, UI sequence to ExecuteAction)", ours);
  if (havePeer) print("msitools (msiinfo export Property)", peer);
  if (havePeer && !ours.empty() && !peer.empty()) {
    const double ratio = median(ours.seconds) / median(peer.seconds);
    std::printf("time ratio ours/msitools: %.3f (target: under 1) -> %s\n", ratio, ratio < 1 ? "met" : "NOT met");
    std::printf("peak memory ratio ours/msitools: %.3f\n",
                static_cast<double>(median(ours.maxrssKb)) / static_cast<double>(median(peer.maxrssKb)));
  }
  // What the timed runs did, from one more run here, after the timings so that it cannot
  // raise the children's peak memory.
  try {
    CountingHost host;
    const msi::SequenceResult run = runUISequence(package.c_str(), host);
    int ran = 0, falseCondition = 0, dialogs = 0;
    bool reachedExecute = false;
    for (const msi::SequenceStep& step : run.steps) {
      switch (step.kind) {
        case msi::SequenceStep::Kind::Ran: ++ran; break;
        case msi::SequenceStep::Kind::ConditionFalse: ++falseCondition; break;
        case msi::SequenceStep::Kind::DialogSkipped: ++dialogs; break;
        case msi::SequenceStep::Kind::ExecuteAction: reachedExecute = true; break;
      }
    }
    std::printf("ours per run: %d actions ran, %d conditions false, %d dialogs passed over, %s, %d messages\n", ran,
                falseCondition, dialogs, reachedExecute ? "stopped at ExecuteAction" : "no ExecuteAction reached",
                host.count);
  } catch (const std::exception& e) {
    std::printf("ours: %s\n", e.what());
  }
  return ours.empty() ? 1 : 0;
}
