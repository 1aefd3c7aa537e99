// Text conversion at the file boundary: databases store strings in an ANSI codepage, the
// engine holds them as UTF-8.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace msi {

// True when every byte is below 0x80: such text is the same in every supported codepage.
bool isAscii(std::string_view s);

// UTF-8 <-> UTF-16; invalid sequences become U+FFFD.
std::u16string utf8ToUtf16(std::string_view text);
std::string utf16ToUtf8(std::u16string_view text);

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
