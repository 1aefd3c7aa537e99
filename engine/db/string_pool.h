// The string pool shared by every table of a database (`_StringPool` + `_StringData`):
// id 0 is null, every other id names one string or is an unused hole.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <string_view>
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
  std::string_view at(std::uint32_t id) const {
    return has(id) ? std::string_view(bytes_.data() + spans_[id].offset, spans_[id].length) : std::string_view();
  }
  std::uint32_t find(std::string_view s) const;   // 0 when absent (or empty)
  // Whether the stored pool held a string twice (then only the first id is found by text).
  bool hasDuplicates() const { return duplicates_; }
  // Id of `s`, adding it in the lowest hole (else at the end) when absent. "" gives 0.
  std::uint32_t intern(std::string_view s);
  // Makes `id` a hole that a later intern() may reuse.
  void release(std::uint32_t id);

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

 private:
  PoolTexts texts() const { return PoolTexts(bytes_.data(), spans_); }
  // Appends `s` to the bytes and returns where it went.
  TextSpan store(std::string_view s);
  // Moves the live strings together once the bytes of released ones outweigh them.
  void compactIfSparse();

  Codepage codepage_;
  bool longRefs_ = false;
  // Every string's bytes one after another (released ones stay until compaction), and where
  // each id's string lies in them: one allocation each, not one per string. The bytes grow by
  // a quarter at a time (see store), so a pool built by imports holds little unused room.
  std::vector<char> bytes_;
  std::vector<TextSpan> spans_{TextSpan{}};  // index = id; length 0 = null or hole
  std::size_t garbage_ = 0;                  // bytes of released strings still in bytes_
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
