// The UI run: plays the package's InstallUISequence action by action (never ExecuteAction),
// takes the feature snapshot and recapture, and finds the properties the user changed.
#pragma once

namespace fennick::uirun {

void RunUISequence();
void CaptureFeatureStates();
void RecaptureFeatureStates();
void FindChangedProperties();

}  // namespace fennick::uirun
