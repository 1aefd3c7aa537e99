#include "engine/qt/mnemonics.h"

#include <algorithm>

namespace msi::qt {

QString labelText(const std::string& text, bool noPrefix) {
  if (noPrefix) return QString::fromStdString(text);
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '&') {
      if (i + 1 < text.size() && text[i + 1] == '&') {
        out += '&';
        ++i;
      }
      continue;
    }
    out += text[i];
  }
  return QString::fromStdString(out);
}

QString mnemonicText(const std::string& text, bool noPrefix) {
  QString out = QString::fromStdString(text);
  if (noPrefix) out.replace(QLatin1Char('&'), QLatin1String("&&"));
  return out;
}

bool hasMnemonic(const std::string& text) {
  for (std::size_t i = 0; i + 1 < text.size(); ++i)
    if (text[i] == '&') {
      if (text[i + 1] != '&') return true;
      ++i;
    }
  return false;
}

const dialogs::Control* mnemonicBuddy(const dialogs::Dialog& dialog, const dialogs::Control& label) {
  if (label.next.empty()) {
    // Outside the tab order a text stays where the table put it: the controls after it in
    // table order come next.
    const auto& all = dialog.controls;
    const auto self = std::find_if(all.begin(), all.end(), [&](const auto& c) { return &c == &label; });
    if (self == all.end()) return nullptr;
    for (std::size_t k = 1; k < all.size(); ++k) {
      const dialogs::Control& c = all[(static_cast<std::size_t>(self - all.begin()) + k) % all.size()];
      if (c.takesInput()) return &c;
    }
    return nullptr;
  }
  // The tab order is a ring; a broken or looping chain ends after one turn.
  const dialogs::Control* at = &label;
  for (std::size_t steps = 0; steps < dialog.controls.size(); ++steps) {
    at = dialog.find(at->next);
    if (!at || at == &label) return nullptr;
    if (at->takesInput()) return at;
  }
  return nullptr;
}

}  // namespace msi::qt
