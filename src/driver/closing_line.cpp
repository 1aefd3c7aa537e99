#include "src/driver/closing_line.h"

#include <filesystem>
#include <system_error>

#include "src/ui/terminal_text.h"

namespace fennick::driver {
namespace {

std::string Counted(std::size_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

// A file name as msiexec's command line takes it: in double quotes when it holds a blank.
std::string CommandWord(const std::filesystem::path& path) {
  const std::string name = path.filename().string();
  return name.find_first_of(" \t") == std::string::npos ? name : "\"" + name + "\"";
}

std::string Absolute(const std::string& path) {
  std::error_code error;
  const auto absolute = std::filesystem::absolute(path, error);
  return error ? path : absolute.lexically_normal().string();
}

std::string WhyNothingWritten(int status, bool began) {
  switch (status) {
    case kExitUsage: return began ? "the walk does not fit the package" : "the walk cannot be read";
    case kExitRefused: return "the package was refused";
    case kExitActionFailed: return "an action failed or the package's dialogs were exited";
    case kExitSaveCancelled: return "the save prompt was cancelled";
    case kExitUnchanged: return "your answers leave the package unchanged";
    default: return "the run failed";
  }
}

}  // namespace

std::string ClosingLine(int status, const RunState* run) {
  if (!run || run->transformOutcome != TransformOutcome::Written || run->transformPath.empty()) {
    const bool explained = status != kExitUnchanged;
    return "no transform written: " + WhyNothingWritten(status, run != nullptr) + (explained ? " (see the message above)" : "");
  }
  std::string line = Absolute(run->transformPath) + ": " +
                     Counted(run->propertiesWritten, "property", "properties") + ", " +
                     Counted(run->featuresWritten, "feature", "features") + " changed; ";
  if (status != kExitTransformWritten)
    line += "written, but the run then failed (see the message above); ";
  else if (!run->transformChecked)
    line += "not checked; ";
  else if (run->choicesNotReproduced == 0)
    line += "applying it reproduces your choices; ";
  else
    line += "applying it does not reproduce " + Counted(run->choicesNotReproduced, "choice", "choices") +
            " (see the warnings above); ";
  line += "install with it on Windows: msiexec /i " + CommandWord(run->packagePath) +
          " TRANSFORMS=" + CommandWord(run->transformPath);
  return ui::TerminalText(line, ui::LineBreaks::Escape);
}

}  // namespace fennick::driver
