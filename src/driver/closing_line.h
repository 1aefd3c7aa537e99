// The one line on standard output that ends every run: what happened, where the transform
// is, and how to install with it.
#pragma once

#include <string>

#include "src/driver/run_state.h"

namespace fennick::driver {

// The closing line for a run that ended with `status` (an ExitStatus), without its newline.
// `run` is what the run left; nullptr when it ended before it began (a walk that cannot be
// read, say).
std::string ClosingLine(int status, const RunState* run);

}  // namespace fennick::driver
