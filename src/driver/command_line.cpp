#include "src/driver/command_line.h"

#include <algorithm>
#include <cctype>

namespace fennick::driver {

std::string PackagePathFrom(const std::string& argumentText) {
  std::string path = argumentText;
  path.erase(std::remove(path.begin(), path.end(), '"'), path.end());
  return path;
}

Options ParseCommandLine(const std::vector<std::string>& args) {
  Options options;
  std::size_t i = 0;
  auto value = [&](const std::string& option) -> std::string {
    if (i + 1 >= args.size()) throw UsageError(option + " needs a value");
    return args[++i];
  };
  for (; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--") {
      ++i;
      break;
    }
    if (a == "--help" || a == "-h") {
      options.help = true;
    } else if (a == "--version") {
      options.version = true;
    } else if (a == "--record") {
      options.recordWalk = value(a);
    } else if (a == "--replay") {
      options.replayWalk = value(a);
    } else if (a == "--dump-tables") {
      options.dumpTables = value(a);
    } else if (a == "--machine") {
      if (options.machine) throw UsageError("--machine can be given once");
      options.machine = value(a);
    } else if (a == "--property") {
      const std::string assignment = value(a);
      const std::size_t eq = assignment.find('=');
      const std::string name = assignment.substr(0, eq);
      // The installer's command line takes property names of letters, digits, _ and .
      const bool valid = eq != std::string::npos && !name.empty() &&
                         std::all_of(name.begin(), name.end(), [](char c) {
                           return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '.';
                         });
      if (!valid) throw UsageError("--property needs NAME=VALUE, NAME of letters, digits, _ and . (got `" + assignment + "`)");
      options.properties.emplace_back(name, assignment.substr(eq + 1));
    } else if (a.size() > 1 && a[0] == '-' && a[1] == '-') {
      throw UsageError("unknown option " + a);
    } else {
      break;
    }
  }
  if (options.recordWalk && options.replayWalk)
    throw UsageError("--record and --replay cannot be used together");
  std::string text;
  for (std::size_t first = i; i < args.size(); ++i) {
    if (i > first) text += ' ';
    text += args[i];
  }
  options.packagePath = PackagePathFrom(text);
  return options;
}

std::string UsageText() {
  return R"(Usage: fennick [OPTION]... PACKAGE

Plays a Windows Installer package's own setup dialogs, lets you answer them, installs
nothing, and writes your choices as a transform (.mst) for the package.

The package path is every argument after the options, joined by one blank, with every
double quote removed; nothing else is changed.

Options:
  --record WALK        interactive run that also writes each answer to the walk file WALK
  --replay WALK        headless run: answer the dialogs from the walk file WALK; message
                       boxes are written to standard error and answered with OK
  --dump-tables FILE   at the end of the run, write the six working tables to FILE
  --machine NAME|FILE  the Windows machine the package's session runs on: win10-x64 (the
                       default), win10-x86, win11-x64, or a machine file (see README) with
                       its properties, registry content (.reg text), files and folders
  --property NAME=VALUE
                       set a property as on the installer's command line, before the
                       user-interface sequence runs (repeatable). It is a choice you make:
                       the transform records it when it differs from the package's value
  --help               show this help and exit
  --version            show the version and exit
  --                   end of options

Exit status:
  0  transform written
  1  unhandled failure (reported as "fennick: <description>")
  2  wrong usage, no display for an interactive run, or a walk that does not match the package
  3  package refused: it cannot be opened, or it has no user interface
  4  an action failed, or the user exited the package's dialogs
  5  the user cancelled the save prompt
  6  nothing to write: the answers leave the package unchanged

Custom actions that run native code cannot run here. These are done by what they do:
ValidatePath (install-folder check of WiX dialogs), VsdLaunchConditions, CheckFX and
CheckNETCore (launch conditions and .NET checks of Visual Studio installer projects).
Others are skipped with a warning, and listed again when the run ends.

After a transform is written, it is applied to the package in memory and the package's
user-interface sequence is played again without dialogs: one line on standard output says
that it reproduces your choices, or one warning line on standard error names each choice
it does not reproduce.

Files: the scratch files temp.msi, temp.idt and temp.mst are kept in a private folder,
$XDG_RUNTIME_DIR/fennick/ or else ${TMPDIR:-/tmp}/fennick-UID/ (mode 0700). The transform,
the dump and a recorded walk are written beside their target and renamed into place; they
are never written over the package, a folder or a device.
)";
}

}  // namespace fennick::driver
