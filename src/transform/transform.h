// The transform build: copy the package into a reference database, write the user's changes
// into it, and have the installer service write the transform from the difference.
#pragma once

#include <string>
#include <string_view>

namespace fennick::transform {

// The platform's temp folder with its trailing separator.
std::string GetTempFolder();

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
