// Output files of fennick-msi: never one of the command's inputs or a folder, and written
// beside their target under a temporary name, renamed over it only when complete.
#pragma once

#include <filesystem>
#include <initializer_list>

namespace fennick::msicli {

// Throws UsageError when `output` is one of `inputs` (the same file by any path) or a folder.
void refuseInputAsOutput(const std::filesystem::path& output, std::initializer_list<std::filesystem::path> inputs);

// A fresh, unique, empty file beside `target` for work that is renamed over it when complete.
std::filesystem::path temporaryBeside(const std::filesystem::path& target);

// Renames the finished `temporary` over `target`, readable by all as a new file would be.
// Throws msi::Error naming `target` on failure (`temporary` is then removed).
void replaceWith(const std::filesystem::path& temporary, const std::filesystem::path& target);

}  // namespace fennick::msicli
