// Running one side of a benchmark as a fresh process: timed from fork to exit, with the
// child's peak resident memory from wait4.
#pragma once

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace bench {

struct Measure {
  bool ok = false;
  double seconds = 0;
  long maxrssKb = 0;
  double cpuSeconds = 0;  // user plus system time of the child (and its children)
  std::string err;  // the child's standard error, when it was kept
};

// Runs `args` with standard output discarded. Standard error goes to `errFile` (and is read
// back into Measure::err) when one is given, else to ours.
inline Measure runChild(const std::vector<std::string>& args, const std::filesystem::path& errFile = {}) {
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  std::fflush(stdout);
  std::fflush(stderr);
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid < 0) return {};
  if (pid == 0) {
    const int null = open("/dev/null", O_WRONLY);
    if (null >= 0) dup2(null, STDOUT_FILENO);
    if (!errFile.empty()) {
      const int err = open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      if (err >= 0) dup2(err, STDERR_FILENO);
    }
    execvp(argv[0], argv.data());
    std::fprintf(stderr, "error: cannot run %s: %s\n", argv[0], std::strerror(errno));
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  if (wait4(pid, &status, 0, &usage) != pid) return {};
  Measure m;
  m.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  m.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  m.maxrssKb = usage.ru_maxrss;
  m.cpuSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                 static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  if (!errFile.empty()) {
    std::ifstream in(errFile, std::ios::binary);
    m.err.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  return m;
}

}  // namespace bench
