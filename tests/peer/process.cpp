#include "tests/peer/process.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <sstream>
#include <stdexcept>

#include <gtest/gtest.h>

#include "tests/support/fixtures.h"

extern char** environ;

namespace fennick::peer {
namespace fs = std::filesystem;

ProcessResult runProcess(const std::vector<std::string>& argv, const fs::path& scratch) {
  if (argv.empty()) throw std::invalid_argument("runProcess: no program given");
  fs::create_directories(scratch);
  const fs::path outFile = scratch / "process.stdout";
  const fs::path errFile = scratch / "process.stderr";

  posix_spawn_file_actions_t actions;
  if (posix_spawn_file_actions_init(&actions) != 0) throw std::runtime_error("posix_spawn_file_actions_init failed");
  // Released on every path.
  const std::unique_ptr<posix_spawn_file_actions_t, int (*)(posix_spawn_file_actions_t*)> release(
      &actions, posix_spawn_file_actions_destroy);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);

  std::vector<std::string> args = argv;  // posix_spawn wants mutable C strings
  std::vector<char*> cargs;
  for (auto& a : args) cargs.push_back(a.data());
  cargs.push_back(nullptr);

  ProcessResult result;
  pid_t pid = 0;
  if (const int rc = posix_spawnp(&pid, cargs[0], &actions, nullptr, cargs.data(), environ);
      rc != 0) {
    std::ostringstream msg;
    msg << argv[0] << ": cannot start (" << std::strerror(rc) << ")";
    result.err = msg.str();
    return result;
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) {
      result.err = argv[0] + std::string(": waitpid failed");
      return result;
    }
  }
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  result.out = test::ReadText(outFile);
  result.err = test::ReadText(errFile);
  return result;
}

std::string outputOf(const std::vector<std::string>& argv, const fs::path& scratch) {
  const ProcessResult run = runProcess(argv, scratch);
  std::string command;
  for (const std::string& arg : argv) command += (command.empty() ? "" : " ") + arg;
  EXPECT_EQ(run.exitCode, 0) << command << ": " << run.err;
  return run.out;
}

}  // namespace fennick::peer
