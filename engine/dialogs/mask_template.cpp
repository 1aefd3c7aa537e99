#include "engine/dialogs/mask_template.h"

namespace msi::dialogs {

MaskTemplate MaskTemplate::parse(std::string_view text) {
  const std::size_t open = text.find('<');
  if (open != std::string_view::npos) {
    text.remove_prefix(open + 1);
    const std::size_t close = text.find('>');
    if (close != std::string_view::npos) text = text.substr(0, close);
  }
  MaskTemplate out;
  for (char c : text) {
    Place place;
    switch (c) {
      case '#':
      case '%': place.kind = Kind::Digit; break;
      case '&':
      case '^':
      case '?':
      case '`': place.kind = Kind::Letter; break;
      case '=':
        if (!out.places_.empty() && out.places_.back().kind != Kind::Literal) place.kind = out.places_.back().kind;
        else place.literal = c;
        break;
      case '@': continue;  // a hidden digit: never shown, never typed
      default: place.literal = c; break;
    }
    out.places_.push_back(place);
  }
  return out;
}

bool MaskTemplate::accepts(std::string_view value) const {
  if (value.size() != places_.size()) return false;
  for (std::size_t i = 0; i < value.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(value[i]);
    switch (places_[i].kind) {
      case Kind::Digit:
        if (c < '0' || c > '9') return false;
        break;
      case Kind::Letter:
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))) return false;
        break;
      case Kind::Literal:
        if (value[i] != places_[i].literal) return false;
        break;
    }
  }
  return true;
}

std::string MaskTemplate::pattern() const {
  std::string out;
  for (const Place& p : places_) out += p.kind == Kind::Digit ? '#' : p.kind == Kind::Letter ? 'A' : p.literal;
  return out;
}

}  // namespace msi::dialogs
