// Fuzz target: arbitrary bytes as a compound file. Every storage is listed, every entry found
// again by its path, every stream read. Errors are expected; crashes, hangs and huge
// allocations are not.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <utility>
#include <vector>

#include "engine/cfb/compound_file.h"

namespace {

void walk(const msi::cfb::Reader& reader) {
  // Explicit stack: a hostile file may nest storages as deep as it has entries.
  std::vector<msi::cfb::Path> storages{{}};
  while (!storages.empty()) {
    const msi::cfb::Path storage = std::move(storages.back());
    storages.pop_back();
    for (const auto& entry : reader.list(storage)) {
      msi::cfb::Path path = storage;
      path.push_back(entry.name);
      const auto found = reader.find(path);
      if (!found || found->kind != entry.kind) std::abort();  // listed but not found again
      if (entry.kind == msi::cfb::EntryKind::Storage) {
        storages.push_back(std::move(path));
        continue;
      }
      try {
        if (reader.read(path).size() != entry.size) std::abort();
      } catch (const msi::cfb::Error&) {
        // A damaged stream; the others are still read.
      }
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  try {
    const auto reader = msi::cfb::Reader::fromBytes(msi::cfb::Bytes(data, data + size), "fuzz");
    (void)reader->rootClsid();
    walk(*reader);
  } catch (const msi::cfb::Error&) {
  }
  return 0;
}
