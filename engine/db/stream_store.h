// The root-level streams and storages of a database that are not tables: binary cells,
// cabinets, summary information, embedded transforms. Changes wait here until commit.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/cfb/compound_file.h"
#include "engine/db/file_source.h"
#include "engine/db/value.h"

namespace msi {

class StreamStore {
 public:
  explicit StreamStore(std::shared_ptr<FileSource> source) : source_(std::move(source)) {}

  // Lists the root of the current file again and forgets pending changes.
  void reset();

  // Streams, by decoded name.
  bool hasStream(std::string_view name) const;
  std::optional<Blob> stream(std::string_view name) const;  // loaded on first use
  // Throws Error when the name cannot be stored.
  void putStream(const std::string& name, Blob data);
  void removeStream(std::string_view name);
  std::vector<std::string> streamNames() const;  // sorted

  // Sub-storages. New ones are given as the bytes of a compound file, checked at once.
  bool hasStorage(std::string_view name) const;
  void putStorage(const std::string& name, const Blob& data);
  void removeStorage(std::string_view name);
  std::vector<std::string> storageNames() const;  // sorted
  std::optional<Blob> storageData(std::string_view name) const;  // only for pending ones

  // Adds the pending changes to `editor`.
  void stage(cfb::Editor& editor) const;
  // Bumped on every change, so views built from the store know when to rebuild.
  std::uint64_t generation() const { return generation_; }
  // Whether changes wait for a commit.
  bool pending() const { return !streams_.empty() || !storages_.empty(); }

  // Throws Error when `name` is empty or too long once compressed.
  static void checkName(std::string_view name, std::string_view what);

 private:
  struct NewStorage {
    Blob data;
    std::shared_ptr<const cfb::Reader> reader;
  };
  std::shared_ptr<FileSource> source_;
  std::map<std::string, std::u16string, std::less<>> fileStreams_;   // decoded -> stored name
  std::map<std::string, std::u16string, std::less<>> fileStorages_;  // decoded -> stored name
  std::map<std::string, std::optional<Blob>, std::less<>> streams_;  // nullopt: removed
  std::map<std::string, std::optional<NewStorage>, std::less<>> storages_;
  std::uint64_t generation_ = 0;
};

}  // namespace msi
