// The files a run writes for the user (the transform, the table dump, a recorded walk): never
// over one of the run's inputs, never over a folder or a device, and never half written.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace fennick::driver {

// Why `path` cannot take an output: it names one of `inputs` (same file, by device and
// inode), a folder, or something other than a regular file. Empty when it can.
std::string OutputRefusal(const std::string& path, const std::vector<std::string>& inputs);

// Writes `bytes` to a new file beside `path` and renames it over `path` once complete and
// flushed, so the target is either as it was or wholly new. The temporary file goes on
// failure and on SIGINT or SIGTERM. Throws std::runtime_error naming the path and the cause.
void WriteFileAtomically(const std::string& path, std::string_view bytes);

// While it lives, SIGINT, SIGTERM and SIGHUP also remove the temporary files ("*.tmp") in
// `folder`, a private scratch folder this run holds locked, before the process ends.
class ScratchCleanup {
 public:
  explicit ScratchCleanup(const std::string& folder);
  ~ScratchCleanup();
  ScratchCleanup(const ScratchCleanup&) = delete;
  ScratchCleanup& operator=(const ScratchCleanup&) = delete;
};

}  // namespace fennick::driver
