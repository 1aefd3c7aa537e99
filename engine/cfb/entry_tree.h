// The Editor's picture of the file to write: a tree of storages and streams, each either
// still the entry of the base file it came from or new content. Private to engine/cfb.
#pragma once

#include <cstdint>
#include <map>
#include <utility>
#include <vector>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "engine/cfb/compound_file.h"
#include "engine/cfb/entry_name.h"

namespace msi::cfb {

struct EntryNode {
  std::u16string name;
  EntryKind kind = EntryKind::Storage;
  Clsid clsid{};  // storages only
  // The entry of the base file this node stands for, while it stands where that entry stood.
  std::optional<std::uint32_t> baseId;
  // Streams: true when the content is `data` (or what `writer` makes); false when it is still
  // the base entry's.
  bool replaced = false;
  Bytes data;
  // Replaced streams whose content is made as it is written: `writtenSize` bytes.
  StreamWriter writer;
  std::uint64_t writtenSize = 0;
  std::uint64_t baseSize = 0;  // size of the base entry's content
  // Streams not replaced: byte ranges written over the base content, applied in order.
  std::vector<std::pair<std::uint64_t, Bytes>> patches;
  // Storages: true when children were added or removed since the base.
  bool membershipChanged = false;
  std::map<std::u16string, std::unique_ptr<EntryNode>, NameLess> children;

  std::uint64_t size() const { return !replaced ? baseSize : writer ? writtenSize : data.size(); }
  // Calls `writer` into `sink`; throws Error (prefixed by `targetName`) when it gives more or
  // fewer bytes than it announced.
  void produce(const StreamSink& sink, const std::string& targetName) const;
  // The content of a replaced stream: `data`, or what `writer` makes, kept in `holder`.
  std::span<const std::uint8_t> content(Bytes& holder, const std::string& targetName) const;
  bool isStorage() const { return kind == EntryKind::Storage; }
};

}  // namespace msi::cfb
