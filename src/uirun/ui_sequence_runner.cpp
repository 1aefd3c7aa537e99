
#include "src/driver/run_state.h"
#include "src/uirun/uirun.h"
#include "engine/text/integers.h"

namespace fennick::uirun {
namespace {

constexpr const char* kCrLf = "\r\n";

std::string StatusText(std::int32_t status) {
  switch (status) {
    case 2: return "IDCANCEL, user terminated prematurely.";
    case 3: return "IDABORT, unrecoverable error occurred.";
    case 4: return "IDRETRY, sequence suspended, to be resumed later.";
    case 5: return "IDIGNORE, skip remaining actions, not an error.";
    case 6: return "Calling sequence error, not in initialized state.";
    case 7: return "Invalid action table condition or missing custom action.";
    default: return "";
  }
}

[[noreturn]] void ActionFailed(const std::string& action, std::int32_t status) {
  driver::RunState& run = driver::Run();
  run.session.reset();
  run.installer.reset();
  ui::ShowMessage(*run.host, "An error occured executing action: " + action + kCrLf + kCrLf + StatusText(status),
                  ui::BoxStyle::Critical, "DoAction Error");
  driver::Terminate(driver::kExitActionFailed);
}

// A null (empty) or malformed sequence counts as 0, so such a row is never run, like the
// service itself treats rows it cannot schedule.
long SequenceNumber(const std::string& text) { return msi::text::parseInt32(text).value_or(0); }

}  // namespace

bool RowRuns(std::int32_t conditionResult, const std::string& action, const std::string& sequence) {
  return (conditionResult == installer::kConditionTrue || conditionResult == installer::kConditionNone) &&
         action != "ExecuteAction" && SequenceNumber(sequence) > 0;
}

void RunUISequence() {
  driver::RunState& run = driver::Run();
  auto& lvUI = driver::Tables().lvUI;
  run.installer->UILevel(installer::kUILevelFull);
  driver::Pump();
  const std::size_t rows = lvUI.RowCount();
  for (std::size_t i = 1; i <= rows; ++i) {
    run.installer->UILevel(installer::kUILevelFull);
    driver::Pump();
    const std::string action = lvUI.RowText(i);
    const std::string condition = lvUI.SubItemText(i, 1);
    const std::string sequence = lvUI.SubItemText(i, 2);
    std::int32_t result = run.session->EvaluateCondition(condition);
    if (RowRuns(result, action, sequence)) {
      driver::Pump();
      result = run.session->DoAction(action);
      driver::Pump();
      if (result > 1) ActionFailed(action, result);
    }
    if (action == "CostFinalize") {
      CaptureFeatureStates();
      CaptureCostedProperties();
    }
    if (action == "ExecuteAction") RecaptureFeatureStates();
  }
}

}  // namespace fennick::uirun
