// Runs a program and captures what it prints, for tests that compare us with other tools.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace fennick::peer {

struct ProcessResult {
  int exitCode = -1;  // the program's exit status; -1 when it could not start or was killed
  std::string out;    // standard output, as written
  std::string err;    // standard error, as written
};

// Runs argv[0] (searched on PATH) with the remaining arguments, standard input closed.
// Output goes through files in `scratch` (a folder the caller owns), so a program that prints
// much cannot block on a full pipe.
ProcessResult runProcess(const std::vector<std::string>& argv, const std::filesystem::path& scratch);
// runProcess for a run that must succeed: another exit status is a test failure that names the
// command and shows its standard error. Returns the standard output.
std::string outputOf(const std::vector<std::string>& argv, const std::filesystem::path& scratch);

}  // namespace fennick::peer
