#include "engine/session/registry.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <set>

#include "engine/db/codepage.h"
#include "engine/db/value.h"

namespace msi {
namespace {

std::string upper(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

std::vector<std::string> components(std::string_view key) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (start <= key.size()) {
    const std::size_t end = std::min(key.find('\\', start), key.size());
    if (end > start) parts.emplace_back(key.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

std::string join(const std::vector<std::string>& parts, std::size_t from = 0) {
  std::string out;
  for (std::size_t i = from; i < parts.size(); ++i) {
    if (!out.empty()) out += '\\';
    out += parts[i];
  }
  return out;
}

// The root a .reg key name starts with, as the name it is stored under.
struct RootName {
  std::string_view written;
  std::string_view shortName;
  std::string_view storedAs;
};
constexpr std::array<RootName, 5> kRoots{{
    {"HKEY_LOCAL_MACHINE", "HKLM", "HKEY_LOCAL_MACHINE"},
    {"HKEY_CURRENT_USER", "HKCU", "HKEY_CURRENT_USER"},
    {"HKEY_CLASSES_ROOT", "HKCR", "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes"},
    {"HKEY_USERS", "HKU", "HKEY_USERS"},
    {"HKEY_CURRENT_CONFIG", "HKCC", "HKEY_CURRENT_CONFIG"},
}};

// The stored name of a full key name: its root resolved, empty components dropped.
std::string storedName(std::string_view key) {
  std::vector<std::string> parts = components(key);
  if (parts.empty()) throw Error("registry key `" + std::string(key) + "`: no root key");
  const std::string root = upper(parts[0]);
  for (const RootName& r : kRoots)
    if (root == r.written || root == r.shortName) {
      std::string rest = join(parts, 1);
      return rest.empty() ? std::string(r.storedAs) : std::string(r.storedAs) + "\\" + rest;
    }
  throw Error("registry key `" + std::string(key) + "`: `" + parts[0] +
              "` is not a root key (HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, HKEY_CLASSES_ROOT, "
              "HKEY_USERS, HKEY_CURRENT_CONFIG)");
}

// Subkeys of SOFTWARE\Classes that the 32-bit view sees through Classes\Wow6432Node.
bool redirectedClassesKey(const std::string& folded) {
  static const std::set<std::string> kRedirected = {"CLSID", "DIRECTSHOW", "INTERFACE",
                                                    "MEDIA TYPE", "MEDIAFOUNDATION"};
  return kRedirected.count(folded) != 0;
}

void appendUtf16(std::vector<std::uint8_t>& data, std::u16string_view text) {
  for (char16_t c : text) {
    data.push_back(static_cast<std::uint8_t>(c & 0xFF));
    data.push_back(static_cast<std::uint8_t>(c >> 8));
  }
}

std::u16string utf16Of(const std::vector<std::uint8_t>& data) {
  std::u16string out;
  for (std::size_t i = 0; i + 1 < data.size(); i += 2)
    out.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
  return out;
}

}  // namespace

// --- RegValue ---------------------------------------------------------------------------

RegValue RegValue::string(std::string_view utf8, std::uint32_t type) {
  RegValue v;
  v.type = type;
  appendUtf16(v.data, utf8ToUtf16(utf8));
  v.data.push_back(0);
  v.data.push_back(0);
  return v;
}

RegValue RegValue::dword(std::uint32_t value) {
  RegValue v;
  v.type = kRegDword;
  for (int i = 0; i < 4; ++i) v.data.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
  return v;
}

std::string RegValue::text() const {
  std::u16string text = utf16Of(data);
  if (const auto nul = text.find(u'\0'); nul != std::u16string::npos) text.resize(nul);
  return utf16ToUtf8(text);
}

std::vector<std::string> RegValue::strings() const {
  std::vector<std::string> out;
  const std::u16string text = utf16Of(data);
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = std::min(text.find(u'\0', start), text.size());
    if (end == start) break;  // the empty string that ends the list
    out.push_back(utf16ToUtf8(std::u16string_view(text).substr(start, end - start)));
    start = end + 1;
  }
  return out;
}

std::uint32_t RegValue::number() const {
  std::uint32_t n = 0;
  for (std::size_t i = 0; i < 4 && i < data.size(); ++i) n |= std::uint32_t{data[i]} << (8 * i);
  return n;
}

// --- Registry ---------------------------------------------------------------------------

Registry::Key& Registry::ensure(const std::string& folded, const std::string& written) {
  // Every key above it exists too, as on Windows.
  for (std::size_t slash = folded.find('\\'); slash != std::string::npos;
       slash = folded.find('\\', slash + 1)) {
    auto [it, added] = keys_.try_emplace(folded.substr(0, slash));
    if (added) it->second.name = written.substr(0, slash);
  }
  auto [it, added] = keys_.try_emplace(folded);
  if (added) it->second.name = written;
  return it->second;
}

void Registry::createKey(std::string_view key) {
  const std::string written = storedName(key);
  ensure(upper(written), written);
}

void Registry::deleteKey(std::string_view key) {
  const std::string folded = upper(storedName(key));
  keys_.erase(folded);
  const std::string prefix = folded + "\\";
  auto it = keys_.lower_bound(prefix);
  while (it != keys_.end() && it->first.starts_with(prefix)) it = keys_.erase(it);
}

void Registry::setValue(std::string_view key, std::string_view name, RegValue value) {
  const std::string written = storedName(key);
  Key& k = ensure(upper(written), written);
  k.values[upper(name)] = {std::string(name), std::move(value)};
}

void Registry::deleteValue(std::string_view key, std::string_view name) {
  auto it = keys_.find(upper(storedName(key)));
  if (it != keys_.end()) it->second.values.erase(upper(name));
}

void Registry::merge(const Registry& other) {
  for (const auto& [folded, key] : other.keys_) {
    Key& mine = ensure(folded, key.name);
    for (const auto& [name, value] : key.values) mine.values[name] = value;
  }
}

std::vector<std::string> Registry::storedNames(RegRoot root, std::string_view key,
                                               RegView view) const {
  std::vector<std::string> parts = components(upper(key));
  auto machineKey = [&](std::vector<std::string> p) {
    // The 32-bit view of SOFTWARE on a 64-bit machine.
    if (twoViews_ && view == RegView::Bits32 && !p.empty() && p[0] == "SOFTWARE") {
      if (p.size() >= 2 && p[1] == "CLASSES") {
        if (p.size() >= 3 && redirectedClassesKey(p[2]))
          p.insert(p.begin() + 2, "WOW6432NODE");
      } else if (p.size() < 2 || p[1] != "WOW6432NODE") {
        p.insert(p.begin() + 1, "WOW6432NODE");
      }
    }
    const std::string rest = join(p);
    return rest.empty() ? std::string("HKEY_LOCAL_MACHINE") : "HKEY_LOCAL_MACHINE\\" + rest;
  };
  auto under = [](std::string_view rootName, const std::string& rest) {
    return rest.empty() ? std::string(rootName) : std::string(rootName) + "\\" + rest;
  };
  switch (root) {
    case RegRoot::LocalMachine: return {machineKey(parts)};
    case RegRoot::CurrentUser: return {under("HKEY_CURRENT_USER", join(parts))};
    case RegRoot::Users: return {under("HKEY_USERS", join(parts))};
    case RegRoot::ClassesRoot: {
      std::vector<std::string> classes{"SOFTWARE", "CLASSES"};
      classes.insert(classes.end(), parts.begin(), parts.end());
      return {under("HKEY_CURRENT_USER\\SOFTWARE\\CLASSES", join(parts)), machineKey(classes)};
    }
  }
  return {};
}

const Registry::Key* Registry::find(RegRoot root, std::string_view key, RegView view) const {
  for (const std::string& name : storedNames(root, key, view))
    if (auto it = keys_.find(name); it != keys_.end()) return &it->second;
  return nullptr;
}

bool Registry::keyExists(RegRoot root, std::string_view key, RegView view) const {
  return find(root, key, view) != nullptr;
}

std::optional<RegValue> Registry::value(RegRoot root, std::string_view key, std::string_view name,
                                        RegView view) const {
  // HKEY_CLASSES_ROOT: the user's key wins where it has the value.
  for (const std::string& stored : storedNames(root, key, view)) {
    auto it = keys_.find(stored);
    if (it == keys_.end()) continue;
    if (auto v = it->second.values.find(upper(name)); v != it->second.values.end())
      return v->second.second;
  }
  return std::nullopt;
}

std::vector<std::string> Registry::valueNames(RegRoot root, std::string_view key,
                                              RegView view) const {
  std::set<std::string> names;
  for (const std::string& stored : storedNames(root, key, view))
    if (auto it = keys_.find(stored); it != keys_.end())
      for (const auto& [folded, value] : it->second.values) names.insert(value.first);
  return {names.begin(), names.end()};
}

std::vector<std::string> Registry::subkeys(RegRoot root, std::string_view key, RegView view) const {
  std::set<std::string> names;
  for (const std::string& stored : storedNames(root, key, view)) {
    const std::string prefix = stored + "\\";
    for (auto it = keys_.lower_bound(prefix); it != keys_.end() && it->first.starts_with(prefix);
         ++it) {
      const std::string rest = it->second.name.substr(prefix.size());
      if (rest.find('\\') == std::string::npos) names.insert(rest);
    }
  }
  return {names.begin(), names.end()};
}

}  // namespace msi
