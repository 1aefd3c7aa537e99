// UTF-8, the engine's text encoding: one code point at a time, and whole strings to and from
// UTF-16 (the encoding of stream names and of the installer's own strings).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace msi::text {

inline constexpr char32_t kReplacementCharacter = 0xFFFD;

// Appends `cp` as UTF-8; surrogates and values past U+10FFFF become U+FFFD.
void appendUtf8(std::string& out, char32_t cp);

// Decodes the sequence that starts at `s[i]` into `cp` and returns its length in bytes, or 0
// when the bytes there are not a valid, shortest-form sequence of a scalar value.
std::size_t decodeUtf8(std::string_view s, std::size_t i, char32_t& cp);

// Whole-string conversions; invalid input becomes U+FFFD (one per bad byte or lone surrogate).
std::u16string utf8ToUtf16(std::string_view text);
std::string utf16ToUtf8(std::u16string_view text);

bool isAscii(std::string_view s);

}  // namespace msi::text
