// Machine files: plain text a person writes to describe the Windows machine a session runs on
// (the README documents the format). One directive a line; `#` at the start of a line or after
// a blank starts a comment; a word with blanks goes in double quotes, with \" and \\ inside:
//
//   machine win10-x86                        the built-in machine it starts from (before the
//                                            other directives)
//   property NAME=VALUE                      a property the machine reports (VALUE may be
//                                            empty: the machine does not report it)
//   environment NAME=VALUE                   an environment variable
//   folder PATH                              a folder that exists
//   file PATH [version A.B.C.D] [size N] [language L,...]   a file that exists
//   component {GUID} PATH                    an installed component and its key path
//   ini FILE SECTION KEY=VALUE               a value in an .ini file (FILE without a folder:
//                                            in the Windows folder)
//   registry FILE                            registry content from a .reg file (relative to
//                                            the machine file's folder)
//   Windows Registry Editor Version 5.00     the rest of the file is registry content in the
//                                            registry editor's format (reg_file.h)
//
// A file that starts with the .reg header is registry content over the default machine.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "engine/session/machine.h"

namespace msi {

// Reads a file named by a `registry` line, as written there; returns its bytes or throws Error.
using MachineIncludeReader = std::function<std::string(const std::string& path)>;

// The machine a machine file describes. `source` names it in errors. Throws MachineTextError
// naming the line of a fault; a `registry` line whose file cannot be read is one.
EmulatedMachine parseMachineFile(std::string_view text, std::string_view source,
                                 const MachineIncludeReader& readInclude);

// The machine `nameOrPath` names: a built-in machine, else a machine file read from disk.
// The profile names the current user. Throws Error (MachineTextError for a faulty file).
EmulatedMachine loadMachine(std::string_view nameOrPath);

}  // namespace msi
