#include "src/driver/run_state.h"
#include "src/transform/transform.h"

namespace fennick::transform {

void WriteTransform() {
  driver::RunState& run = driver::Run();
  run.host->UnloadProgress();
  const std::string chosen = run.host->PromptSaveTransform();
  if (chosen.empty()) {
    ui::ShowMessage(*run.host, "Transform creation cancelled by user", ui::BoxStyle::Critical, "Transform Cancelled");
    run.transformOutcome = driver::TransformOutcome::Cancelled;
    return;
  }
  // The prompt's text may carry NULs after the path; the path is what stands before them.
  const std::string path = chosen.substr(0, chosen.find('\0'));
  run.referenceDatabase->GenerateTransform(*run.packageDatabase, path);
  driver::Pump();
  run.referenceDatabase->CreateTransformSummaryInfo(*run.packageDatabase, path, 0, 0);
  driver::Pump();
  run.transformOutcome = driver::TransformOutcome::Written;
}

}  // namespace fennick::transform
