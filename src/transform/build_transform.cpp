#include <memory>

#include "src/driver/run_state.h"
#include "src/transform/transform.h"

namespace fennick::transform {

void BuildTransform() {
  driver::RunState& run = driver::Run();
  // The two databases belong to this build: released when it returns, on every path.
  struct Release {
    driver::RunState& run;
    ~Release() {
      run.referenceDatabase.reset();
      run.packageDatabase.reset();
      run.scratchLock.reset();
    }
  } release{run};
  run.scratchLock = std::make_unique<ScratchLock>(GetTempFolder(), *run.err);
  BuildReferenceDatabase();
  WriteChanges();
  WriteTransform();
}

}  // namespace fennick::transform
