// The UI run: plays the package's InstallUISequence action by action (never ExecuteAction),
// takes the feature snapshot and recapture, and finds the properties the user changed.
#pragma once

#include <string>

namespace fennick::uirun {

void RunUISequence();
void CaptureFeatureStates();
void RecaptureFeatureStates();
void FindChangedProperties();
// After CostFinalize: the values of the watched properties that came from the session, as the
// baseline of FindChangedProperties.
void CaptureCostedProperties();

// The sequence number of an lvUI row as a whole number; null or malformed counts as 0 (never run).
long SequenceNumber(const std::string& text);

}  // namespace fennick::uirun
