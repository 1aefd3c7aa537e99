// Package inspection: what the run records of the package before any dialog is shown.
#pragma once

#include <string_view>

namespace fennick::inspect {

// Lists every table of the package into lvTable; sets the has-UI flag when the list holds
// "InstallUISequence". Reads through a read-only database of its own.
void LoadTables();
// Copies InstallUISequence into lvUI in Sequence order: action, condition, sequence.
void LoadUISequence();
// Records the Property table, INSTALLDIR, TARGETDIR, every control-bound property,
// INSTALLLEVEL, ALLUSERS, MSIINSTALLPERUSER and every property a ControlEvent row sets, with
// their values, into lvProperty, then sorts lvProperty once by name. Tables the package lacks
// add nothing.
void LoadProperties();
// Appends `name` with the session's value, unless lvProperty already has it.
void AddSessionProperty(std::string_view name);

}  // namespace fennick::inspect
