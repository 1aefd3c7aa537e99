// Text conversion at the file boundary: databases store strings in an ANSI codepage, the
// engine holds them as UTF-8.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "engine/text/utf8.h"

namespace msi {

// The UTF-8 helpers, under the names the storage code has always used.
using text::isAscii;
using text::utf16ToUtf8;
using text::utf8ToUtf16;

// One codepage's converter. Codepage 0 ("neutral") reads and writes as 1252.
class Codepage {
 public:
  // Throws Error("codepage N is not supported") for codepages without a converter.
  explicit Codepage(int id);
  static bool supported(int id);

  int id() const { return id_; }
  // Bytes in this codepage -> UTF-8. Never fails: undecodable bytes become U+FFFD (1252's five
  // unassigned bytes map to the control characters of the same number, as Windows does).
  std::string decode(std::string_view bytes) const;
  // UTF-8 -> this codepage; nullopt when a character has no representation.
  std::optional<std::string> encode(std::string_view utf8) const;

 private:
  struct Converters;
  int id_ = 0;
  std::shared_ptr<Converters> conv_;  // null for UTF-8
};

}  // namespace msi
