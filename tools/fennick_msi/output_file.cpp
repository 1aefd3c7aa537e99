#include "tools/fennick_msi/output_file.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <cstring>

#include "engine/cfb/file_system.h"
#include "engine/db/value.h"
#include "tools/fennick_msi/command.h"

namespace fennick::msicli {
namespace fs = std::filesystem;

void refuseInputAsOutput(const fs::path& output, std::initializer_list<fs::path> inputs) {
  std::error_code ec;
  if (!fs::exists(output, ec)) return;
  for (const fs::path& input : inputs)
    if (fs::equivalent(input, output, ec))
      throw UsageError(output.string() + " is also an input (" + input.string() + "); choose another output file");
  if (fs::is_directory(output, ec)) throw UsageError(output.string() + " is a folder; choose an output file");
}

fs::path temporaryBeside(const fs::path& target) {
  const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
  std::random_device random;
  int error = EEXIST;
  for (int attempt = 0; attempt < 100 && error == EEXIST; ++attempt) {
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, ".%08x", static_cast<unsigned>(random()));
    const fs::path path = folder / ("." + target.filename().string() + suffix);
    std::unique_ptr<msi::cfb::WritableFile> file;
    // Private until complete; replaceWith opens it up as any new file.
    error = msi::cfb::FileSystem::system().create(path, mode_t{0600}, file);
    if (error == 0) error = file->close();
    if (error == 0) return path;
  }
  throw msi::Error(target.string() + ": cannot be written: " + std::strerror(error));
}

void replaceWith(const fs::path& temporary, const fs::path& target) {
  std::error_code ec;
  // temporaryBeside made the file 0600; an output is as readable as any file the user writes.
  fs::permissions(temporary, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read | fs::perms::others_read,
                  fs::perm_options::add, ec);
  fs::rename(temporary, target, ec);
  if (ec) {
    std::error_code ignored;
    fs::remove(temporary, ignored);
    throw msi::Error(target.string() + ": cannot be written: " + ec.message());
  }
}

}  // namespace fennick::msicli
