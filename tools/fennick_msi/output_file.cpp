#include "tools/fennick_msi/output_file.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

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
  std::string pattern = (folder / ("." + target.filename().string() + ".XXXXXX")).string();
  const int fd = ::mkstemp(pattern.data());
  if (fd < 0) throw msi::Error(target.string() + ": cannot be written: " + std::strerror(errno));
  ::close(fd);
  return pattern;
}

void replaceWith(const fs::path& temporary, const fs::path& target) {
  std::error_code ec;
  // mkstemp made the file 0600; an output is as readable as any file the user writes.
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
