// The transform build: copy the package into a reference database, write the user's changes
// into it, and have the installer service write the transform from the difference.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <string_view>

#include "src/driver/output_file.h"

namespace fennick::transform {

// The run's scratch folder with its trailing separator: private to the user (created 0700,
// refused when it is a link, someone else's, or open to others), $XDG_RUNTIME_DIR/fennick/
// or ${TMPDIR:-/tmp}/fennick-UID/. Throws installer::Error naming the folder and the cause.
std::string GetTempFolder();

// Holds the scratch folder for one transform build: runs of the same user at the same time
// take turns there instead of mixing their files. Says once on `err` when it waits long.
class ScratchLock {
 public:
  ScratchLock(const std::string& folder, std::ostream& err);
  ~ScratchLock();
  ScratchLock(const ScratchLock&) = delete;
  ScratchLock& operator=(const ScratchLock&) = delete;

 private:
  int fd_ = -1;
  std::string folder_;
  std::optional<driver::ScratchCleanup> cleanup_;
};

// Runs the three steps below in order; the two databases live for the length of the call.
void BuildTransform();
void BuildReferenceDatabase();
void WriteChanges();
void WriteTransform();

// The closed loop: applies the written transform to the package in memory, plays the UI
// sequence again without dialogs up to ExecuteAction, and reports every feature state and
// watched property that differs from what the run chose. Prints the closing line.
void CheckTransform();

// INSTALLLEVEL helpers of the change writer, exposed for their own tests.
std::string BaseLevel(std::string_view installLevel);
std::string RaisedLevel(std::string_view installLevel);

}  // namespace fennick::transform
