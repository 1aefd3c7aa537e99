// Root streams and storages: the file's listing plus pending changes.
#include "engine/db/stream_store.h"

#include "engine/db/stream_name.h"

namespace msi {
namespace {

template <class Map>
std::vector<std::string> mergedNames(const std::map<std::string, std::u16string, std::less<>>& file,
                                     const Map& pending) {
  std::vector<std::string> out;
  for (const auto& [name, stored] : file) {
    const auto it = pending.find(name);
    if (it == pending.end() || it->second) out.push_back(name);
  }
  for (const auto& [name, change] : pending)
    if (change && !file.count(name)) out.push_back(name);
  std::sort(out.begin(), out.end());
  return out;
}

}  // namespace

void StreamStore::checkName(std::string_view name, std::string_view what) {
  if (name.empty()) throw Error(std::string(what) + ": empty stream name");
  const auto stored = stream_name::encode(name, false);
  if (stored.size() > stream_name::kMaxStoredLength)
    throw Error(std::string(what) + ": name `" + std::string(name) + "` is too long (" +
                std::to_string(stored.size()) + " units once stored, at most " +
                std::to_string(stream_name::kMaxStoredLength) + ")");
}

void StreamStore::reset() {
  fileStreams_.clear();
  fileStorages_.clear();
  streams_.clear();
  storages_.clear();
  ++generation_;
  if (!source_->reader) return;
  std::vector<cfb::EntryInfo> entries;
  entries = source_->reader->list({});
  for (const auto& e : entries) {
    const auto decoded = stream_name::decode(e.name);
    if (e.kind == cfb::EntryKind::Storage) {
      fileStorages_.emplace(decoded.name, e.name);
    } else if (!decoded.table) {
      fileStreams_.emplace(decoded.name, e.name);
    }
  }
}

bool StreamStore::hasStream(std::string_view name) const {
  if (const auto it = streams_.find(name); it != streams_.end()) return it->second.has_value();
  return fileStreams_.find(name) != fileStreams_.end();
}

std::optional<Blob> StreamStore::stream(std::string_view name) const {
  if (const auto it = streams_.find(name); it != streams_.end()) return it->second;
  const auto it = fileStreams_.find(name);
  if (it == fileStreams_.end()) return std::nullopt;
  const cfb::Path path{it->second};
  return Blob([source = source_, path] { return source->read(path); });
}

void StreamStore::putStream(const std::string& name, Blob data) {
  checkName(name, "stream");
  streams_[name] = std::move(data);
  ++generation_;
}

void StreamStore::removeStream(std::string_view name) {
  if (!hasStream(name)) return;
  streams_[std::string(name)] = std::nullopt;
  ++generation_;
}

std::vector<std::string> StreamStore::streamNames() const { return mergedNames(fileStreams_, streams_); }

bool StreamStore::hasStorage(std::string_view name) const {
  if (const auto it = storages_.find(name); it != storages_.end()) return it->second.has_value();
  return fileStorages_.find(name) != fileStorages_.end();
}

void StreamStore::putStorage(const std::string& name, const Blob& data) {
  checkName(name, "storage");
  std::shared_ptr<const cfb::Reader> reader;
  try {
    reader = cfb::Reader::fromBytes(data.bytes(), "storage `" + name + "`");
  } catch (const Error& e) {
    throw e.within("storage `" + name + "`: data is not a compound file: ");
  }
  storages_[name] = NewStorage{data, std::move(reader)};
  ++generation_;
}

void StreamStore::removeStorage(std::string_view name) {
  if (!hasStorage(name)) return;
  storages_[std::string(name)] = std::nullopt;
  ++generation_;
}

std::vector<std::string> StreamStore::storageNames() const { return mergedNames(fileStorages_, storages_); }

std::optional<Blob> StreamStore::storageData(std::string_view name) const {
  if (const auto it = storages_.find(name); it != storages_.end() && it->second) return it->second->data;
  return std::nullopt;
}

void StreamStore::stage(cfb::Editor& editor) const {
  const auto storedName = [](const std::map<std::string, std::u16string, std::less<>>& file,
                             const std::string& name) {
    const auto it = file.find(name);
    return it != file.end() ? it->second : stream_name::encode(name, false);
  };
  for (const auto& [name, change] : streams_) {
    const cfb::Path path{storedName(fileStreams_, name)};
    if (change) {
      editor.putStream(path, change->bytes());
    } else {
      editor.remove(path);
    }
  }
  for (const auto& [name, change] : storages_) {
    const cfb::Path path{storedName(fileStorages_, name)};
    editor.remove(path);
    if (change) editor.copyStorage(*change->reader, {}, path);
  }
}

}  // namespace msi
