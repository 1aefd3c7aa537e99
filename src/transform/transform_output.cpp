#include <filesystem>
#include <fstream>
#include <iterator>

#include "src/driver/output_file.h"
#include "src/driver/run_state.h"
#include "src/transform/transform.h"

namespace fennick::transform {
namespace {

constexpr const char* kUnchanged = "Your answers leave the package unchanged; no transform was written.";

// The transform is made in the scratch folder first: nothing to write is known before the
// user is asked where to write it, and a failure (no ProductCode, a full disk) never touches
// a file that stands at the chosen path.
std::string ScratchTransform() { return GetTempFolder() + "temp.mst"; }

void RemoveScratch(const std::string& path) {
  std::error_code ec;
  if (std::filesystem::is_regular_file(std::filesystem::symlink_status(path, ec))) std::filesystem::remove(path, ec);
}

// The user's answers changed nothing: no property, and every feature ends in the state that
// costing gave it. The levels the writer derives would then only restate the package.
bool AnswersChangeNothing() {
  auto& tables = driver::Tables();
  if (tables.lvPropertyChanged.RowCount() > 0) return false;
  if (tables.lvFeatureChanged.RowCount() != tables.lvFeature.RowCount()) return false;
  for (std::size_t i = 1; i <= tables.lvFeature.RowCount(); ++i)
    if (tables.lvFeature.SubItemText(i, 1) != tables.lvFeatureChanged.SubItemText(i, 1)) return false;
  return true;
}

void ReportUnchanged(driver::RunState& run) {
  ui::ShowMessage(*run.host, kUnchanged);
  run.transformOutcome = driver::TransformOutcome::Unchanged;
}

std::string ReadScratch(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (!in.good() && !in.eof()) throw installer::Error(path + ": the transform cannot be read back");
  return bytes;
}

}  // namespace

void WriteTransform() {
  driver::RunState& run = driver::Run();
  run.host->UnloadProgress();
  if (AnswersChangeNothing()) return ReportUnchanged(run);

  const std::string scratch = ScratchTransform();
  RemoveScratch(scratch);
  try {
    run.referenceDatabase->GenerateTransform(*run.packageDatabase, scratch);
  } catch (const installer::Error& error) {
    if (error.Number() != installer::kErrorNoData) throw;
    return ReportUnchanged(run);
  }
  driver::Pump();
  run.referenceDatabase->CreateTransformSummaryInfo(*run.packageDatabase, scratch, 0, 0);
  driver::Pump();
  // The transform is held in memory from here, so the scratch folder is free for other runs
  // while the user chooses where to save.
  const std::string transform = ReadScratch(scratch);
  RemoveScratch(scratch);
  run.referenceDatabase.reset();
  run.packageDatabase.reset();
  run.scratchLock.reset();

  std::string path;
  for (;;) {
    const std::string chosen = run.host->PromptSaveTransform();
    if (chosen.empty()) {
      ui::ShowMessage(*run.host, "Transform creation cancelled by user", ui::BoxStyle::Critical,
                      "Transform Cancelled");
      run.transformOutcome = driver::TransformOutcome::Cancelled;
      return;
    }
    // The prompt's text may carry NULs after the path; the path is what stands before them.
    path = chosen.substr(0, chosen.find('\0'));
    const std::string refusal = driver::OutputRefusal(path, {run.packagePath});
    if (refusal.empty()) break;
    // A person can choose again; a walk's answer is final.
    if (!run.interactive) throw installer::Error(refusal);
    ui::ShowMessage(*run.host, refusal, ui::BoxStyle::Critical, "Save Transform");
  }
  driver::WriteFileAtomically(path, transform);
  driver::Pump();
  run.transformPath = path;
  run.transformOutcome = driver::TransformOutcome::Written;
}

}  // namespace fennick::transform
