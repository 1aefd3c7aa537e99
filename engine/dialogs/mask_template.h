// The template of a MaskedEdit control (its Text, formatted: "<###-#######>", a product key
// such as "12345<### -%%%%%%%>@@@@@"). Only the segment between `<` and `>` is shown and typed
// into (the whole template when it has no `<`). In it `#` and `%` take a digit; `&`, `^`, `?`
// and the grave accent a letter; `=` one more place of the kind before it; `_` and every
// other character stand for themselves.
//
// A value the control accepts fills every place of the shown segment, literals included
// ("123-4567890"); the property is left empty when the user typed nothing.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace msi::dialogs {

class MaskTemplate {
 public:
  enum class Kind { Literal, Digit, Letter };
  struct Place {
    Kind kind = Kind::Literal;
    char literal = 0;  // Literal
  };

  static MaskTemplate parse(std::string_view text);

  const std::vector<Place>& places() const { return places_; }
  bool empty() const { return places_.empty(); }
  // Whether `value` fills the shown segment: one character a place, of its kind.
  bool accepts(std::string_view value) const;
  // The shown segment with `#` for a digit and `A` for a letter ("###-#######").
  std::string pattern() const;

 private:
  std::vector<Place> places_;
};

}  // namespace msi::dialogs
