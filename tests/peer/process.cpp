#include "tests/peer/process.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

extern char** environ;

namespace fennick::peer {
namespace fs = std::filesystem;

namespace {

std::string readAll(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// posix_spawn's file actions, released on every path.
class FileActions {
 public:
  FileActions() {
    if (posix_spawn_file_actions_init(&actions_) != 0)
      throw std::runtime_error("posix_spawn_file_actions_init failed");
  }
  ~FileActions() { posix_spawn_file_actions_destroy(&actions_); }
  FileActions(const FileActions&) = delete;
  FileActions& operator=(const FileActions&) = delete;
  posix_spawn_file_actions_t* get() { return &actions_; }

 private:
  posix_spawn_file_actions_t actions_;
};

}  // namespace

ProcessResult runProcess(const std::vector<std::string>& argv, const fs::path& scratch) {
  if (argv.empty()) throw std::invalid_argument("runProcess: no program given");
  fs::create_directories(scratch);
  const fs::path outFile = scratch / "process.stdout";
  const fs::path errFile = scratch / "process.stderr";

  FileActions actions;
  posix_spawn_file_actions_addopen(actions.get(), STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(actions.get(), STDOUT_FILENO, outFile.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(actions.get(), STDERR_FILENO, errFile.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);

  std::vector<std::string> args = argv;  // posix_spawn wants mutable C strings
  std::vector<char*> cargs;
  for (auto& a : args) cargs.push_back(a.data());
  cargs.push_back(nullptr);

  ProcessResult result;
  pid_t pid = 0;
  if (const int rc = posix_spawnp(&pid, cargs[0], actions.get(), nullptr, cargs.data(), environ);
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
  result.out = readAll(outFile);
  result.err = readAll(errFile);
  return result;
}

}  // namespace fennick::peer
