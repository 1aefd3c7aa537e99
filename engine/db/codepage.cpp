// Codepage conversion through glibc's iconv, with an ASCII fast path.
#include "engine/db/codepage.h"
#include "engine/text/utf8.h"

#include <iconv.h>

#include <cerrno>
#include <cstdint>

#include "engine/db/value.h"

namespace msi {
namespace {

constexpr int kUtf8 = 65001;
constexpr char32_t kReplacement = text::kReplacementCharacter;
using text::appendUtf8;
using text::decodeUtf8;

// iconv's name for a Windows codepage number; empty when we know none.
std::string iconvName(int id) {
  if (id == 0) return "CP1252";
  if ((id >= 1250 && id <= 1258) || id == 874 || id == 932 || id == 936 || id == 949 ||
      id == 950 || id == 437 || id == 737 || id == 775 || id == 850 || id == 852 || id == 855 ||
      id == 857 || (id >= 860 && id <= 866) || id == 869)
    return "CP" + std::to_string(id);
  if (id == 1361) return "JOHAB";
  if (id == 20127) return "ASCII";
  if (id == 20866) return "KOI8-R";
  if (id == 21866) return "KOI8-U";
  if (id == 10000) return "MACINTOSH";
  if (id >= 28591 && id <= 28599) return "ISO-8859-" + std::to_string(id - 28590);
  if (id == 28603) return "ISO-8859-13";
  if (id == 28605) return "ISO-8859-15";
  return {};
}

bool is1252(int id) { return id == 0 || id == 1252; }

bool unassignedIn1252(std::uint32_t v) {
  return v == 0x81 || v == 0x8D || v == 0x8F || v == 0x90 || v == 0x9D;
}

}  // namespace

// iconv keeps shift state, so each converter is owned by one Codepage (copies share it; the
// engine runs on one thread).
struct Codepage::Converters {
  iconv_t toUtf8 = reinterpret_cast<iconv_t>(-1);
  iconv_t fromUtf8 = reinterpret_cast<iconv_t>(-1);
  ~Converters() {
    if (toUtf8 != reinterpret_cast<iconv_t>(-1)) iconv_close(toUtf8);
    if (fromUtf8 != reinterpret_cast<iconv_t>(-1)) iconv_close(fromUtf8);
  }
};

bool Codepage::supported(int id) {
  if (id == kUtf8) return true;
  const std::string name = iconvName(id);
  if (name.empty()) return false;
  iconv_t cd = iconv_open("UTF-8", name.c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  iconv_close(cd);
  return true;
}

Codepage::Codepage(int id) : id_(id) {
  if (id == kUtf8) return;
  const std::string name = iconvName(id);
  auto conv = std::make_shared<Converters>();
  if (!name.empty()) {
    conv->toUtf8 = iconv_open("UTF-8", name.c_str());
    conv->fromUtf8 = iconv_open(name.c_str(), "UTF-8");
  }
  if (conv->toUtf8 == reinterpret_cast<iconv_t>(-1) ||
      conv->fromUtf8 == reinterpret_cast<iconv_t>(-1))
    throw Error("codepage " + std::to_string(id) + " is not supported");
  conv_ = std::move(conv);
}

std::string Codepage::decode(std::string_view bytes) const {
  if (isAscii(bytes)) return std::string(bytes);
  std::string out;
  if (!conv_) {  // UTF-8: keep valid sequences, replace the rest
    for (std::size_t i = 0; i < bytes.size();) {
      char32_t cp = 0;
      std::size_t len = decodeUtf8(bytes, i, cp);
      if (len == 0) cp = kReplacement, len = 1;
      appendUtf8(out, cp);
      i += len;
    }
    return out;
  }
  iconv(conv_->toUtf8, nullptr, nullptr, nullptr, nullptr);
  out.resize(bytes.size() * 4 + 8);
  char* in = const_cast<char*>(bytes.data());
  std::size_t inLeft = bytes.size();
  std::size_t used = 0;
  while (inLeft > 0) {
    char* dst = out.data() + used;
    std::size_t dstLeft = out.size() - used;
    const std::size_t rc = iconv(conv_->toUtf8, &in, &inLeft, &dst, &dstLeft);
    used = out.size() - dstLeft;
    if (rc != static_cast<std::size_t>(-1)) break;
    if (errno == E2BIG) {
      out.resize(out.size() * 2);
      continue;
    }
    // EILSEQ or EINVAL (a lead byte at the end): substitute and step over one byte.
    const auto b = static_cast<unsigned char>(*in);
    std::string sub;
    appendUtf8(sub, is1252(id_) && unassignedIn1252(b) ? char32_t(b) : kReplacement);
    if (out.size() - used < sub.size()) out.resize(out.size() * 2);
    out.replace(used, sub.size(), sub);
    used += sub.size();
    ++in, --inLeft;
    iconv(conv_->toUtf8, nullptr, nullptr, nullptr, nullptr);
  }
  // Flush: converters for codepages with combining marks (1255, 1258) hold back the last
  // character in case a mark follows; without this the text loses its final letter.
  for (;;) {
    char* dst = out.data() + used;
    std::size_t dstLeft = out.size() - used;
    const std::size_t rc = iconv(conv_->toUtf8, nullptr, nullptr, &dst, &dstLeft);
    used = out.size() - dstLeft;
    if (rc == static_cast<std::size_t>(-1) && errno == E2BIG) {
      out.resize(out.size() * 2);
      continue;
    }
    break;
  }
  out.resize(used);
  return out;
}

std::optional<std::string> Codepage::encode(std::string_view utf8) const {
  if (isAscii(utf8)) return std::string(utf8);
  if (!conv_) return std::string(utf8);
  iconv(conv_->fromUtf8, nullptr, nullptr, nullptr, nullptr);
  std::string out(utf8.size() * 2 + 8, '\0');
  char* in = const_cast<char*>(utf8.data());
  std::size_t inLeft = utf8.size();
  std::size_t used = 0;
  while (inLeft > 0) {
    char* dst = out.data() + used;
    std::size_t dstLeft = out.size() - used;
    const std::size_t rc = iconv(conv_->fromUtf8, &in, &inLeft, &dst, &dstLeft);
    used = out.size() - dstLeft;
    if (rc != static_cast<std::size_t>(-1)) break;
    if (errno == E2BIG) {
      out.resize(out.size() * 2);
      continue;
    }
    char32_t cp = 0;
    const std::string_view rest(in, inLeft);
    const std::size_t len = decodeUtf8(rest, 0, cp);
    if (len == 0 || !is1252(id_) || !unassignedIn1252(cp)) return std::nullopt;
    if (used == out.size()) out.resize(out.size() * 2);
    out[used++] = static_cast<char>(cp);
    in += len, inLeft -= len;
  }
  // Flush any shift state (stateful encodings only).
  char* dst = out.data() + used;
  std::size_t dstLeft = out.size() - used;
  iconv(conv_->fromUtf8, nullptr, nullptr, &dst, &dstLeft);
  used = out.size() - dstLeft;
  out.resize(used);
  return out;
}

}  // namespace msi
