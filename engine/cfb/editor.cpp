// Editor: the change set over a base file (or an empty one) and the choice of how to commit.
#include <algorithm>
#include <utility>

#include "engine/cfb/compound_file.h"
#include "engine/cfb/compound_reader.h"
#include "engine/cfb/entry_name.h"
#include "engine/cfb/entry_tree.h"
#include "engine/cfb/file_output.h"
#include "engine/cfb/format.h"
#include "engine/cfb/in_place_commit.h"
#include "engine/cfb/read_only_file.h"
#include "engine/cfb/whole_file_writer.h"

namespace msi::cfb {

namespace {

std::unique_ptr<EntryNode> newStorage(std::u16string name, const Clsid& clsid) {
  auto node = std::make_unique<EntryNode>();
  node->name = std::move(name);
  node->kind = EntryKind::Storage;
  node->clsid = clsid;
  return node;
}

std::unique_ptr<EntryNode> newStream(std::u16string name, Bytes data) {
  auto node = std::make_unique<EntryNode>();
  node->name = std::move(name);
  node->kind = EntryKind::Stream;
  node->replaced = true;
  node->data = std::move(data);
  return node;
}

// A copy of the storage `from`/`path`, every stream read into memory. Iterative, as a hostile
// file may nest storages as deep as it has entries.
std::unique_ptr<EntryNode> snapshot(const Reader& from, const Path& path, std::u16string name,
                                    const Clsid& clsid) {
  auto top = newStorage(std::move(name), clsid);
  std::vector<std::pair<Path, EntryNode*>> work{{path, top.get()}};
  while (!work.empty()) {
    auto [at, node] = std::move(work.back());
    work.pop_back();
    for (const EntryInfo& info : from.list(at)) {
      Path childPath = at;
      childPath.push_back(info.name);
      std::unique_ptr<EntryNode> child = info.kind == EntryKind::Storage
                                             ? newStorage(info.name, info.clsid)
                                             : newStream(info.name, from.read(childPath));
      if (child->isStorage()) work.emplace_back(std::move(childPath), child.get());
      node->children.emplace(info.name, std::move(child));
    }
  }
  return top;
}

// The tree of `base` with every node still standing for its base entry (nothing is read).
std::unique_ptr<EntryNode> baseTree(const CompoundReader& base) {
  const auto& entries = base.entries();
  auto root = newStorage(u"Root Entry", entries[0].clsid);
  root->baseId = 0;
  std::vector<std::pair<std::uint32_t, EntryNode*>> work{{0, root.get()}};
  while (!work.empty()) {
    const auto [id, node] = work.back();
    work.pop_back();
    for (const std::uint32_t childId : base.children(id)) {
      const DirectoryEntry& e = entries[childId];
      auto child = std::make_unique<EntryNode>();
      child->name = e.name;
      child->baseId = childId;
      if (e.isStorage()) {
        child->kind = EntryKind::Storage;
        child->clsid = e.clsid;
        work.emplace_back(childId, child.get());
      } else {
        child->kind = EntryKind::Stream;
        child->baseSize = e.size;
      }
      node->children.emplace(e.name, std::move(child));
    }
  }
  return root;
}

}  // namespace

void EntryNode::produce(const StreamSink& sink, const std::string& targetName) const {
  std::uint64_t given = 0;
  writer([&](const std::uint8_t* bytes, std::size_t count) {
    given += count;
    if (given > writtenSize) return;
    sink(bytes, count);
  });
  if (given != writtenSize)
    throw Error(targetName + ": stream `" + displayName(name) + "` was announced as " + std::to_string(writtenSize) +
                " bytes but its content is " + std::to_string(given));
}

std::span<const std::uint8_t> EntryNode::content(Bytes& holder, const std::string& targetName) const {
  if (!writer) return data;
  holder.clear();
  holder.reserve(static_cast<std::size_t>(writtenSize));
  produce([&](const std::uint8_t* bytes, std::size_t count) { holder.insert(holder.end(), bytes, bytes + count); },
          targetName);
  return holder;
}

struct Editor::Impl {
  std::shared_ptr<const Reader> base;
  const CompoundReader* compound = nullptr;  // `base` when it is our own implementation
  std::unique_ptr<EntryNode> root;
  std::uint16_t major = 3;
  bool changed = false;

  void rebase(std::shared_ptr<const Reader> reader) {
    base = std::move(reader);
    compound = dynamic_cast<const CompoundReader*>(base.get());
    major = static_cast<std::uint16_t>(base->version());
    root = compound ? baseTree(*compound) : snapshot(*base, {}, u"Root Entry", base->rootClsid());
    changed = false;
  }

  [[noreturn]] void fail(const Path& path, const std::string& cause) const {
    const std::string file = base ? base->name() : std::string("new compound file");
    throw Error(file + ": `" + displayPath(path) + "`: " + cause);
  }

  void checkNames(const Path& path) const {
    for (const auto& part : path)
      if (const std::string problem = nameProblem(part); !problem.empty()) fail(path, problem);
  }

  // The storage holding the last element of `path`, creating missing storages on the way when
  // `create` is set (null when absent otherwise).
  EntryNode* parentOf(const Path& path, bool create) {
    EntryNode* at = root.get();
    for (std::size_t i = 0; i + 1 < path.size(); ++i) {
      auto it = at->children.find(path[i]);
      if (it == at->children.end()) {
        if (!create) return nullptr;
        it = at->children.emplace(path[i], newStorage(path[i], {})).first;
        at->membershipChanged = true;
        changed = true;
      } else if (!it->second->isStorage()) {
        fail(Path(path.begin(), path.begin() + static_cast<std::ptrdiff_t>(i) + 1),
             "is a stream, not a storage");
      }
      at = it->second.get();
    }
    return at;
  }
};

Editor::Editor(Clsid rootClsid) : impl_(std::make_unique<Impl>()) {
  impl_->root = newStorage(u"Root Entry", rootClsid);
}

Editor::Editor(std::shared_ptr<const Reader> base) : impl_(std::make_unique<Impl>()) {
  if (!base) throw Error("compound file editor: no base file given");
  impl_->rebase(std::move(base));
}

Editor::~Editor() = default;
Editor::Editor(Editor&&) noexcept = default;
Editor& Editor::operator=(Editor&&) noexcept = default;

std::shared_ptr<const Reader> Editor::base() const { return impl_->base; }

void Editor::setRootClsid(const Clsid& clsid) {
  if (impl_->root->clsid == clsid) return;
  impl_->root->clsid = clsid;
  impl_->changed = true;
}

void Editor::setVersion(int major) {
  if (major != 3 && major != 4) impl_->fail({}, "unsupported format version " + std::to_string(major));
  if (impl_->major == major) return;
  impl_->major = static_cast<std::uint16_t>(major);
  impl_->changed = true;
}

void Editor::putStream(const Path& stream, Bytes data) {
  if (stream.empty()) impl_->fail(stream, "the root is a storage, not a stream");
  impl_->checkNames(stream);
  EntryNode* parent = impl_->parentOf(stream, true);
  const auto it = parent->children.find(stream.back());
  if (it == parent->children.end()) {
    parent->children.emplace(stream.back(), newStream(stream.back(), std::move(data)));
    parent->membershipChanged = true;
  } else {
    EntryNode& node = *it->second;
    if (node.isStorage()) impl_->fail(stream, "is a storage, not a stream");
    node.name = stream.back();
    node.replaced = true;
    node.data = std::move(data);
    node.writer = nullptr;
    node.writtenSize = 0;
    node.patches.clear();
  }
  impl_->changed = true;
}

void Editor::putStream(const Path& stream, std::uint64_t size, StreamWriter write) {
  if (!write) impl_->fail(stream, "no writer given for the stream's content");
  putStream(stream, Bytes());
  EntryNode* node = impl_->parentOf(stream, false)->children.at(stream.back()).get();
  node->writer = std::move(write);
  node->writtenSize = size;
}

void Editor::patchStream(const Path& stream, std::uint64_t offset, Bytes bytes) {
  if (stream.empty()) impl_->fail(stream, "the root is a storage, not a stream");
  EntryNode* parent = impl_->parentOf(stream, false);
  EntryNode* found = nullptr;
  if (parent) {
    const auto it = parent->children.find(stream.back());
    if (it != parent->children.end()) found = it->second.get();
  }
  if (!found) impl_->fail(stream, "no such stream to change");
  EntryNode& node = *found;
  if (node.isStorage()) impl_->fail(stream, "is a storage, not a stream");
  const std::uint64_t size = node.size();
  if (offset > size || bytes.size() > size - offset)
    impl_->fail(stream, std::to_string(bytes.size()) + " bytes at offset " + std::to_string(offset) +
                            " run past the end of the stream (" + std::to_string(size) + " bytes)");
  if (bytes.empty()) return;
  // Small streams live in the mini stream, which is rewritten by whole sectors anyway; only
  // large base streams keep their patches apart.
  if (!node.replaced && (!impl_->compound || !node.baseId || node.baseSize < format::kMiniStreamCutoff)) {
    Bytes content = impl_->compound && node.baseId ? impl_->compound->readEntry(*node.baseId) : impl_->base->read(stream);
    for (const auto& [at, piece] : node.patches) std::copy(piece.begin(), piece.end(), content.begin() + static_cast<std::ptrdiff_t>(at));
    node.patches.clear();
    node.data = std::move(content);
    node.replaced = true;
  }
  if (node.replaced) {
    if (node.writer) {
      Bytes made;
      node.content(made, impl_->base ? impl_->base->name() : std::string("new compound file"));
      node.data = std::move(made);
      node.writer = nullptr;
      node.writtenSize = 0;
    }
    std::copy(bytes.begin(), bytes.end(), node.data.begin() + static_cast<std::ptrdiff_t>(offset));
  } else {
    node.patches.emplace_back(offset, std::move(bytes));
  }
  impl_->changed = true;
}

void Editor::putStorage(const Path& storage, const Clsid& clsid) {
  if (storage.empty()) return setRootClsid(clsid);
  impl_->checkNames(storage);
  EntryNode* parent = impl_->parentOf(storage, true);
  const auto it = parent->children.find(storage.back());
  if (it == parent->children.end()) {
    parent->children.emplace(storage.back(), newStorage(storage.back(), clsid));
    parent->membershipChanged = true;
    impl_->changed = true;
    return;
  }
  EntryNode& node = *it->second;
  if (!node.isStorage()) impl_->fail(storage, "is a stream, not a storage");
  if (node.clsid != clsid || node.name != storage.back()) impl_->changed = true;
  node.clsid = clsid;
  node.name = storage.back();
}

void Editor::copyStorage(const Reader& from, const Path& fromPath, const Path& to) {
  const auto source = from.find(fromPath);
  if (!source) throw Error(from.name() + ": no storage `" + displayPath(fromPath) + "`", ErrorKind::NotFound);
  if (source->kind != EntryKind::Storage)
    throw Error(from.name() + ": `" + displayPath(fromPath) + "` is a stream, not a storage");
  const Clsid clsid = fromPath.empty() ? from.rootClsid() : source->clsid;
  if (to.empty()) {
    auto copy = snapshot(from, fromPath, u"Root Entry", clsid);
    impl_->root->children = std::move(copy->children);
    impl_->root->clsid = clsid;
    impl_->root->membershipChanged = true;
    impl_->changed = true;
    return;
  }
  impl_->checkNames(to);
  // Read everything before touching this tree: `from` may be this Editor's own base.
  auto copy = snapshot(from, fromPath, to.back(), clsid);
  EntryNode* parent = impl_->parentOf(to, true);
  parent->children.erase(to.back());
  parent->children.emplace(to.back(), std::move(copy));
  parent->membershipChanged = true;
  impl_->changed = true;
}

void Editor::remove(const Path& entry) {
  if (entry.empty()) impl_->fail(entry, "the root cannot be removed");
  EntryNode* parent = impl_->parentOf(entry, false);
  if (!parent || parent->children.erase(entry.back()) == 0) return;
  parent->membershipChanged = true;
  impl_->changed = true;
}

bool Editor::hasChanges() const { return impl_->changed; }

void Editor::commit(const std::filesystem::path& target, FileSystem& files) {
  Impl& s = *impl_;
  const std::string name = target.string();
  FileIdentity now;
  const ReadOnlyFile* opened = s.compound ? s.compound->file() : nullptr;
  const bool intoBase = opened && identify(target, now) && now.device == opened->identity().device &&
                        now.inode == opened->identity().inode;
  try {
    if (intoBase && s.major == s.compound->version()) {
      if (!s.changed) return;
      commitInPlace(*s.compound, *s.root, target, files);
    } else {
      TemporarySibling temp(target, files);
      SequentialWriter out(temp.file());
      writeWholeFile(*s.root, s.major, s.compound, out, name);
      temp.commit();
    }
  } catch (const SystemFailure& f) {
    throw Error(name + ": " + f.message(), ErrorKind::Io);
  } catch (const Error& e) {
    // Errors reading the base name the base; say which commit they broke.
    if (std::string_view(e.what()).starts_with(name + ":")) throw;
    throw e.within(name + ": cannot write: ");
  }
  if (intoBase) s.rebase(Reader::open(target));
}

}  // namespace msi::cfb
