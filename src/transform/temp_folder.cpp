#include <cstdlib>
#include <filesystem>

#include "src/transform/transform.h"

namespace fennick::transform {

std::string GetTempFolder() {
  // TMPDIR when set (as the platform's own temp-path rule has it), else the system default.
  std::string folder;
  if (const char* env = std::getenv("TMPDIR"); env && *env)
    folder = env;
  else
    folder = std::filesystem::temp_directory_path().string();
  if (folder.back() != '/') folder += '/';
  return folder;
}

}  // namespace fennick::transform
