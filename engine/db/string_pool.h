// The string pool shared by every table of a database (`_StringPool` + `_StringData`):
// id 0 is null, every other id names one string or is an unused hole.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/db/codepage.h"
#include "engine/db/string_index.h"
#include "engine/db/value.h"

namespace msi {

class StringPool {
 public:
  explicit StringPool(int codepage = 0);
  // Reads the two streams. Throws Error("<where>: <cause>") when they disagree.
  static StringPool parse(const Bytes& pool, const Bytes& data, std::string_view where);

  int codepage() const { return codepage_.id(); }
  void setCodepage(int codepage);  // throws Error when unsupported
  // Whether the file these strings came from uses 3-byte string references.
  bool longRefs() const { return longRefs_; }
  void setLongRefs(bool on) { longRefs_ = on; }

  // One more than the highest id in use (holes included).
  std::uint32_t size() const { return static_cast<std::uint32_t>(spans_.size()); }
  // True when `id` names a string (not null, not a hole, not out of range).
  bool has(std::uint32_t id) const { return id < spans_.size() && spans_[id].length != 0; }
  // "" for null, holes and unknown ids. The view lasts until the next intern() or release().
  std::string_view at(std::uint32_t id) const { return has(id) ? texts()[id] : std::string_view(); }
  std::uint32_t find(std::string_view s) const;   // 0 when absent (or empty)
  // Whether the stored pool held a string twice (then only the first id is found by text).
  bool hasDuplicates() const { return duplicates_; }
  // Id of `s`, adding it in the lowest hole (else at the end) when absent. "" gives 0.
  std::uint32_t intern(std::string_view s);
  // Makes `id` a hole that a later intern() may reuse.
  void release(std::uint32_t id);
  // Lets this pool, which must hold no string yet, read the texts of `other`'s strings instead
  // of storing copies: a database about to receive a copy of another's tables. Ids are given
  // out exactly as before (in the order of intern()); a string `other` holds points at its
  // bytes, and is found through its index. `other` keeps its strings where they are (views
  // stay valid) but stops adding to that block. No effect when this pool holds strings or
  // `other` itself borrows.
  void shareTextsOf(StringPool& other);
  // A pool of its own with the same strings under the same ids, reading their texts where
  // this one keeps them (this one stops adding to that block). Without counts. Nullopt when
  // some strings could not be shared (this pool borrows, or added strings since it last lent).
  std::optional<StringPool> fork();

  // Reference counts. After a full count is handed over with setCounts(), every row change
  // reports its string cells through addRef/dropRef, so the counts stay exact and a commit
  // need not look at unchanged rows again. forgetCounts() is for changes they cannot follow
  // (schema changes, rows renumbered on load); the next commit then counts afresh.
  bool counted() const { return counted_; }
  void setCounts(std::vector<std::uint32_t> persistent, std::vector<std::uint32_t> temporary);
  void forgetCounts();
  void addRef(std::uint32_t id, bool temporary);
  void dropRef(std::uint32_t id, bool temporary);
  // Counts of persistent cells by id (valid when counted()); may be shorter than size().
  const std::vector<std::uint32_t>& persistentCounts() const { return refs_; }
  bool referenced(std::uint32_t id) const;  // by any cell, persistent or temporary
  // Whether the stored pool may differ from what was last written: persistent counts or the
  // codepage changed since markWritten().
  bool needsWrite() const { return needsWrite_; }
  void markWritten() { needsWrite_ = false; }
  // Whether any id's text (or the codepage that stores it) may differ from the file written
  // last: strings added or released since markTextsWritten(). When not, a pool stream equal
  // to the stored one means string data equal to the stored one too.
  bool textsChanged() const { return textsChanged_; }
  void markTextsWritten() { textsChanged_ = false; }
  // Ids whose counts fell to zero (or that were added) since the last call: the only ones a
  // commit with running counts has to consider releasing.
  std::vector<std::uint32_t> takeReleaseCandidates();

  struct Streams {
    Bytes pool;
    Bytes data;
  };
  // The two streams for the strings whose count in `refcounts` (indexed by id) is not zero;
  // the others are written as holes, trailing holes are dropped. Counts above 65535 are
  // written as 65535. Throws Error naming `where` for a string the codepage cannot hold.
  Streams serialize(const std::vector<std::uint32_t>& refcounts, bool longRefs,
                    std::string_view where) const;
  // The same in two steps, so that the string data need not be held whole: the pool stream,
  // with the size of the data stream in `dataSize`; then the data stream handed to `sink` a
  // piece at a time (the same texts under the same counts give the same bytes).
  Bytes serializePool(const std::vector<std::uint32_t>& refcounts, bool longRefs, std::string_view where,
                      std::uint64_t& dataSize) const;
  void writeData(const std::vector<std::uint32_t>& refcounts, std::string_view where,
                 const std::function<void(const std::uint8_t*, std::size_t)>& sink) const;

 private:
  PoolTexts texts() const {
    return shared_ ? PoolTexts(shared_->bytes.data(), sharedSize_, bytes_.data(), spans_.list())
                   : PoolTexts(bytes_.data(), spans_.list());
  }
  // The highest id serialize() writes for these counts (0: none).
  std::uint32_t lastWritten(const std::vector<std::uint32_t>& refcounts) const;
  // The bytes the file holds for string `id`: its text in the codepage (converted into
  // `converted` unless ASCII). Throws Error naming `where` when the codepage cannot hold it.
  std::string_view storedText(std::uint32_t id, std::string& converted, std::string_view where) const;
  // Appends `s` to the bytes and returns where it went.
  TextSpan store(std::string_view s);
  // Moves the live strings together once the bytes of released ones outweigh them.
  void compactIfSparse();
  // Makes the strings held so far a block that never changes, for others to read (see
  // shareTextsOf); later strings go to a new block.
  void freeze();
  // The id of the shared block's string equal to `s` (0: none), and the id that holds it in
  // this pool (0: none, or no longer).
  std::pair<std::uint32_t, std::uint32_t> findShared(std::string_view s) const;

  Codepage codepage_;
  bool longRefs_ = false;

  // Strings frozen by the pool that held them, with their spans at the time (by that pool's
  // ids) and their index; read by that pool and by pools that borrow them. Spans with offsets
  // below sharedSize_ lie in these bytes.
  struct SharedTexts {
    std::vector<char> bytes;
    std::shared_ptr<const std::vector<TextSpan>> spans;
    StringIndex ids;
  };
  std::shared_ptr<const SharedTexts> shared_;
  std::size_t sharedSize_ = 0;
  // Whether shared_ belongs to another pool; then sharedIds_ maps its ids to this pool's.
  bool borrowed_ = false;
  std::vector<std::uint32_t> sharedIds_;
  // Every string's bytes one after another (released ones stay until compaction), and where
  // each id's string lies in them (offsets from sharedSize_ on): one allocation each, not one
  // per string. The bytes grow by a quarter at a time (see store), so a pool built by imports
  // holds little unused room. The index ids_ covers the strings stored here.
  std::vector<char> bytes_;
  // The spans by id, which the block freeze() makes reads too: the first change after that
  // (a span set, an id added or dropped) copies them, rather than every freeze.
  class Spans {
   public:
    Spans() = default;
    // A moved-from pool keeps reading the same spans (a move copies the pointer).
    Spans(const Spans&) = default;
    Spans& operator=(const Spans&) = default;
    const std::vector<TextSpan>& list() const { return *list_; }
    std::shared_ptr<const std::vector<TextSpan>> share() const { return list_; }
    std::size_t size() const { return list_->size(); }
    const TextSpan& operator[](std::size_t id) const { return (*list_)[id]; }
    const TextSpan& back() const { return list_->back(); }
    std::vector<TextSpan>& edit() {
      if (list_.use_count() > 1) list_ = std::make_shared<std::vector<TextSpan>>(*list_);
      return *list_;
    }

   private:
    std::shared_ptr<std::vector<TextSpan>> list_ = std::make_shared<std::vector<TextSpan>>(1);
  };
  Spans spans_;  // index = id; length 0 = null or hole
  std::size_t garbage_ = 0;                  // bytes of released strings still in bytes_ (not shared_)
  StringIndex ids_;
  std::set<std::uint32_t> holes_;
  bool duplicates_ = false;
  bool counted_ = false;
  bool needsWrite_ = true;
  bool textsChanged_ = true;
  std::vector<std::uint32_t> refs_, tempRefs_;
  std::vector<std::uint32_t> candidates_;
};

}  // namespace msi
