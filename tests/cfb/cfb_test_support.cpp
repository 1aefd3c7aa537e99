#include "tests/cfb/cfb_test_support.h"

#include "tests/support/msitools.h"

#include <fstream>
#include <iterator>
#include <regex>
#include <stdexcept>

namespace cfbtest {

Bytes readFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path.string());
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

Bytes pattern(std::size_t size, unsigned seed) {
  Bytes out(size);
  std::uint32_t x = 2463534242u ^ (seed * 0x9E3779B9u);
  for (auto& b : out) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    b = static_cast<std::uint8_t>(x);
  }
  return out;
}

std::uint32_t u32(const Bytes& b, std::size_t at) {
  return b.at(at) | (b.at(at + 1) << 8) | (b.at(at + 2) << 16) | (static_cast<std::uint32_t>(b.at(at + 3)) << 24);
}

void setU32(Bytes& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b.at(at + i) = static_cast<std::uint8_t>(v >> (8 * i));
}

namespace {
std::size_t sectorSize(const Bytes& file) { return std::size_t{1} << (file.at(0x1E) | (file.at(0x1F) << 8)); }
}  // namespace

std::size_t sectorOffset(const Bytes& file, std::uint32_t id) { return (id + 1) * sectorSize(file); }

std::size_t fatEntryOffset(const Bytes& file, std::uint32_t id) {
  const std::size_t perSector = sectorSize(file) / 4;
  return sectorOffset(file, u32(file, 0x4C + 4 * (id / perSector))) + 4 * (id % perSector);
}

std::size_t entryOffset(const Bytes& file, std::uint32_t id) {
  const std::size_t perSector = sectorSize(file) / 128;
  std::uint32_t sector = u32(file, 0x30);
  for (std::uint32_t i = 0; i < id / perSector; ++i) sector = u32(file, fatEntryOffset(file, sector));
  return sectorOffset(file, sector) + 128 * (id % perSector);
}

std::string contentListing(const msi::cfb::Reader& reader, const Path& storage) {
  std::string out;
  for (const auto& e : reader.list(storage)) {
    Path path = storage;
    path.push_back(e.name);
    std::string label;
    for (std::size_t i = storage.size(); i < path.size(); ++i)
      for (char16_t c : path[i])
        label += c < 0x80 ? std::string(1, static_cast<char>(c)) : "<" + std::to_string(c) + ">";
    if (e.kind == msi::cfb::EntryKind::Storage) {
      out += label + "\tstorage\n";
      out += contentListing(reader, path);
    } else {
      const Bytes data = reader.read(path);
      std::uint64_t digest = 1469598103934665603ull;
      for (auto b : data) digest = (digest ^ b) * 1099511628211ull;
      out += label + "\t" + std::to_string(e.size) + "\t" + std::to_string(data.size()) + "\t" +
             std::to_string(digest) + "\n";
    }
  }
  return out;
}

std::string msitoolsView(const std::filesystem::path& package) {
  using fennick::test::run, fennick::test::shellQuote;
  const std::string pkg = shellQuote(package.string());
  const auto tables = run("msiinfo tables " + pkg, true);
  std::string out = "tables (status " + std::to_string(tables.status) + "):\n" + tables.out;
  for (const auto& table : fennick::test::lines(tables.out))
    if (!table.empty()) out += "== " + table + "\n" + run("msiinfo export " + pkg + " " + shellQuote(table), true).out;
  out += "streams:\n" + run("msiinfo streams " + pkg, true).out;
  out += "summary:\n" + run("msiinfo suminfo " + pkg, true).out;
  // Warnings carry a process id and a time: keep only what they say.
  static const std::regex noise(R"(\(msiinfo:[0-9]+\): ([A-Za-z-]+) \*\*: [0-9:.]+:)");
  return std::regex_replace(out, noise, "(msiinfo): $1:");
}

}  // namespace cfbtest
