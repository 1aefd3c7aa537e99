#include "engine/qt/rtf_text.h"

#include "engine/qt/rtf_reader.h"

namespace msi::qt {
namespace {

class PlainText : public RtfHandler {
 public:
  void text(std::string_view utf8) override { out += utf8; }
  void word(std::string_view word, std::optional<long>) override {
    if (word == "par" || word == "line" || word == "sect" || word == "page") out += '\n';
  }
  std::string out;
};

}  // namespace

std::string rtfToPlainText(std::string_view rtf) {
  if (!rtf.starts_with("{\\rtf")) return std::string(rtf);
  PlainText plain;
  readRtf(rtf, plain);
  std::string& out = plain.out;
  // Trailing blank lines of the last paragraph mark add nothing.
  while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
  return out;
}

}  // namespace msi::qt
