// Helpers shared by the compound-file tests: files as bytes, raw field access for building
// damaged files, and msitools as the independent reader of what we write.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "engine/cfb/compound_file.h"

namespace cfbtest {

using msi::cfb::Bytes;
using msi::cfb::Path;

// The root classes of installer databases and of transforms.
inline constexpr msi::cfb::Clsid kDatabaseClsid = {0x84, 0x10, 0x0C, 0, 0, 0, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46};
inline constexpr msi::cfb::Clsid kTransformClsid = {0x82, 0x10, 0x0C, 0, 0, 0, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46};

Bytes readFile(const std::filesystem::path& path);
// `size` bytes of a repeatable pattern, different for each `seed`.
Bytes pattern(std::size_t size, unsigned seed);

std::uint32_t u32(const Bytes& b, std::size_t at);
void setU32(Bytes& b, std::size_t at, std::uint32_t v);
// Byte offset of sector `id` and of directory entry `id` (the directory chain is followed).
std::size_t sectorOffset(const Bytes& file, std::uint32_t id);
std::size_t entryOffset(const Bytes& file, std::uint32_t id);
// FAT entry offset for sector `id` (FAT sectors from the header's first 109 slots).
std::size_t fatEntryOffset(const Bytes& file, std::uint32_t id);

// Every entry below `storage`, streams with their content, as "path\tsize\tdigest" lines in
// list order (paths relative to `storage`): a whole file's content in one comparable string.
std::string contentListing(const msi::cfb::Reader& reader, const Path& storage = {});

// What msitools reads from a package: table list, every table exported, stream list, summary.
std::string msitoolsView(const std::filesystem::path& package);

}  // namespace cfbtest
