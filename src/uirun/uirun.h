// The UI run: plays the package's InstallUISequence action by action (never ExecuteAction),
// takes the feature snapshot and recapture, and finds the properties the user changed.
#pragma once

#include <cstdint>
#include <string>

namespace fennick::uirun {

void RunUISequence();
void CaptureFeatureStates();
void RecaptureFeatureStates();
void FindChangedProperties();
// After CostFinalize: the values of the watched properties that came from the session, as the
// baseline of FindChangedProperties.
void CaptureCostedProperties();

// Whether an lvUI row's action runs: its condition is true or absent, it is not
// ExecuteAction, and its sequence number (null or malformed counts as 0) is positive.
bool RowRuns(std::int32_t conditionResult, const std::string& action, const std::string& sequence);

}  // namespace fennick::uirun
