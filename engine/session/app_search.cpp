// AppSearch, CCPSearch and RMCCPSearch: signatures searched on the emulated machine with the
// locator tables, in the installer's order: CompLocator (installed components), RegLocator
// (the registry), IniLocator (.ini values), DrLocator (folders and files on disk). The first
// that finds something gives the value.
//
// A signature listed in the Signature table is a file (its name, and the version, size and
// language bounds it must meet); any other signature is a folder. What each locator returns:
// - a folder: its path with a trailing backslash, when it exists;
// - a file: its full path, when it exists and meets the signature;
// - RegLocator Type 2 (raw): the value as text. A string as it is (a leading `#` doubled), an
//   expandable string with its variables expanded, a DWORD as `#` and its signed decimal,
//   binary data as `#x` and upper-case hex; other types give nothing. Type 0 (directory)
//   and 1 (file) read the value as a path (the text between its first two double quotes when
//   it has them). Bit 0x10 reads the 64-bit view, else the 32-bit one.
// - IniLocator Type 2: the value, or its Field-th comma-separated field.
// - DrLocator: Path (formatted; the long half of a short|long pair) under the Parent
//   signature's folder, or on every fixed volume when it is not a full path. A file
//   signature is looked for in that folder and, Depth levels down, in the folders below it; a
//   folder signature is that folder itself.
// File dates are not compared: a machine file gives none.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <map>
#include <set>

#include "engine/session/directory_tree.h"
#include "engine/session/session_state.h"
#include "engine/session/table_rows.h"
#include "engine/text/integers.h"

namespace msi {
namespace {

using State = Session::State;

constexpr int kTypeDirectory = 0;
constexpr int kTypeFile = 1;
constexpr int kTypeRaw = 2;
constexpr int kType64Bit = 0x10;
// A DrLocator row may name another signature as its parent; deeper chains are not followed.
constexpr int kMaxParentChain = 16;
// Folders one action looks at, at most: a package with many deep searches ends them early
// rather than running for long.
constexpr std::size_t kMaxVisited = 100000;

bool isAbsolute(std::string_view path) {
  return path.starts_with("\\\\") ||
         (path.size() >= 2 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':');
}

std::string withBackslash(std::string path) {
  if (!path.empty() && path.back() != '\\') path += '\\';
  return path;
}

// The long half of a `short|long` name.
std::string longName(const std::string& name) {
  const std::size_t bar = name.find('|');
  return bar == std::string::npos ? name : name.substr(bar + 1);
}

// A version as two 32-bit halves, as signatures compare them; parts past the fourth ignored.
std::uint64_t versionNumber(std::string_view text) {
  std::uint64_t parts[4] = {0, 0, 0, 0};
  std::size_t pos = 0;
  for (int i = 0; i < 4 && pos <= text.size(); ++i) {
    std::uint64_t n = 0;
    while (pos < text.size() && std::isdigit(static_cast<unsigned char>(text[pos])))
      n = std::min<std::uint64_t>(n * 10 + (text[pos++] - '0'), 0xFFFF);
    parts[i] = n;
    const std::size_t dot = text.find('.', pos);
    if (dot == std::string_view::npos) break;
    pos = dot + 1;
  }
  return (parts[0] << 48) | (parts[1] << 32) | (parts[2] << 16) | parts[3];
}

std::uint64_t versionNumber(const std::array<std::uint16_t, 4>& v) {
  return (std::uint64_t{v[0]} << 48) | (std::uint64_t{v[1]} << 32) | (std::uint64_t{v[2]} << 16) | v[3];
}

struct FileSignature {
  std::string file;  // long file name
  std::uint64_t minVersion = 0, maxVersion = 0;
  std::uint64_t minSize = 0, maxSize = 0;
  std::vector<int> languages;
};

class Locator {
 public:
  explicit Locator(State& state)
      : s_(state),
        disk_(state.machine),
        signatures_(*state.db, "Signature",
                    {"Signature", "FileName", "MinVersion", "MaxVersion", "MinSize", "MaxSize",
                     "Languages"}),
        compLocator_(*state.db, "CompLocator", {"Signature_", "ComponentId", "Type"}),
        regLocator_(*state.db, "RegLocator", {"Signature_", "Root", "Key", "Name", "Type"}),
        iniLocator_(*state.db, "IniLocator",
                    {"Signature_", "FileName", "Section", "Key", "Field", "Type"}),
        drLocator_(*state.db, "DrLocator", {"Signature_", "Parent", "Path", "Depth"}) {
    index(signatures_, signatureRows_);
    index(compLocator_, compRows_);
    index(regLocator_, regRows_);
    index(iniLocator_, iniRows_);
    index(drLocator_, drRows_);
  }

  // The value a signature finds, or nullopt when it is not on this machine. Each signature is
  // searched once per action: parents shared by many rows, or rows naming each other, cost no
  // more than the tables' size.
  std::optional<std::string> find(std::string_view signature, int chain = 0) {
    const std::string key(signature);
    if (auto known = memo_.find(key); known != memo_.end()) return known->second;
    if (chain > kMaxParentChain || !active_.insert(key).second) return std::nullopt;
    std::optional<std::string> found = search(key, chain);
    if (found && found->empty()) found.reset();
    active_.erase(key);
    memo_[key] = found;
    return found;
  }

 private:
  static void index(const TableRows& rows, std::multimap<std::string, std::size_t>& to) {
    for (std::size_t i = 0; i < rows.size(); ++i) to.emplace(rows.text(i, 0), i);
  }

  std::optional<FileSignature> fileSignature(const std::string& name) const {
    auto it = signatureRows_.find(name);
    if (it == signatureRows_.end()) return std::nullopt;
    const std::size_t i = it->second;
    FileSignature sig;
    sig.file = longName(signatures_.text(i, 1));
    sig.minVersion = versionNumber(signatures_.text(i, 2));
    sig.maxVersion = versionNumber(signatures_.text(i, 3));
    sig.minSize = static_cast<std::uint32_t>(signatures_.integer(i, 4).value_or(0));
    sig.maxSize = static_cast<std::uint32_t>(signatures_.integer(i, 5).value_or(0));
    const std::string languages = signatures_.text(i, 6);
    for (std::size_t pos = 0; pos < languages.size();) {
      const std::size_t comma = std::min(languages.find(',', pos), languages.size());
      sig.languages.push_back(text::parseInt32(languages.substr(pos, comma - pos)).value_or(0));
      pos = comma + 1;
    }
    return sig;
  }

  std::optional<std::string> search(const std::string& signature, int chain) {
    const std::optional<FileSignature> sig = fileSignature(signature);
    if (auto it = compRows_.find(signature); it != compRows_.end())
      if (auto found = searchComponent(it->second, sig)) return found;
    if (auto it = regRows_.find(signature); it != regRows_.end())
      if (auto found = searchRegistry(it->second, sig)) return found;
    if (auto it = iniRows_.find(signature); it != iniRows_.end())
      if (auto found = searchIni(it->second, sig)) return found;
    const auto [first, last] = drRows_.equal_range(signature);
    for (auto it = first; it != last; ++it)
      if (auto found = searchDrLocator(it->second, sig, chain)) return found;
    return std::nullopt;
  }

  // --- the locators ---

  std::optional<std::string> searchComponent(std::size_t i, const std::optional<FileSignature>& sig) {
    std::string code = compLocator_.text(i, 1);
    for (char& c : code) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    const int type = compLocator_.integer(i, 2).value_or(kTypeFile);
    auto it = s_.machine.components.find(code);
    if (it == s_.machine.components.end()) return std::nullopt;
    const std::string& keyPath = it->second;
    const bool isFolder = keyPath.ends_with('\\');
    if (type != kTypeDirectory && sig && !isFolder) return searchFile(keyPath, sig);
    if (!sig && (type != kTypeDirectory || isFolder)) {
      if (type == kTypeFile) return keyPath.substr(0, keyPath.rfind('\\') + 1);
      return withBackslash(keyPath);
    }
    if (sig) {
      const std::string candidate = withBackslash(keyPath) + sig->file;
      if (disk_.file(candidate)) return candidate;
    }
    return std::nullopt;
  }

  std::optional<std::string> searchRegistry(std::size_t i, const std::optional<FileSignature>& sig) {
    const auto root = regLocator_.integer(i, 1);
    const int type = regLocator_.integer(i, 4).value_or(0);
    RegRoot regRoot;
    switch (root.value_or(-1)) {
      case 0: regRoot = RegRoot::ClassesRoot; break;
      case 1: regRoot = RegRoot::CurrentUser; break;
      case 2: regRoot = RegRoot::LocalMachine; break;
      case 3: regRoot = RegRoot::Users; break;
      default: return std::nullopt;
    }
    const RegView view = s_.machine.registryView((type & kType64Bit) != 0);
    const std::string key = s_.format(regLocator_.text(i, 2));
    const std::string name = s_.format(regLocator_.text(i, 3));
    const std::optional<RegValue> value = s_.machine.registry.value(regRoot, key, name, view);
    if (!value || value->data.empty()) return std::nullopt;
    const bool text = value->type == kRegString || value->type == kRegExpandString;
    std::string path;
    if (text) {
      path = value->type == kRegExpandString ? expand(value->text()) : value->text();
      if (const std::size_t open = path.find('"'); open != std::string::npos)
        if (const std::size_t close = path.find('"', open + 1); close != std::string::npos)
          path = path.substr(open + 1, close - open - 1);
    }
    switch (type & 0x0F) {
      case kTypeDirectory: return text ? searchDirectory(sig, path, 0) : std::nullopt;
      case kTypeFile: return text ? searchFile(path, sig) : std::nullopt;
      case kTypeRaw: return rawValue(*value);
      default: return std::nullopt;
    }
  }

  std::optional<std::string> searchIni(std::size_t i, const std::optional<FileSignature>& sig) {
    const std::string file = longName(iniLocator_.text(i, 1));
    const std::string section = iniLocator_.text(i, 2);
    const std::string key = iniLocator_.text(i, 3);
    const int field = std::max(0, iniLocator_.integer(i, 4).value_or(0));
    const int type = iniLocator_.integer(i, 5).value_or(0);
    const std::optional<std::string> value = iniValue(file, section, key);
    if (!value || value->empty()) return std::nullopt;
    switch (type & 0x0F) {
      case kTypeDirectory: return searchDirectory(sig, *value, 0);
      case kTypeFile: return searchFile(*value, sig);
      case kTypeRaw: return iniField(*value, field);
      default: return std::nullopt;
    }
  }

  std::optional<std::string> searchDrLocator(std::size_t i, const std::optional<FileSignature>& sig,
                                             int chain) {
    const std::string parentName = drLocator_.text(i, 1);
    std::string path = s_.format(longName(drLocator_.text(i, 2)));
    const int depth = drLocator_.integer(i, 3).value_or(0);
    if (!parentName.empty()) {
      std::optional<std::string> parent = find(parentName, chain + 1);
      if (!parent) return std::nullopt;
      // A parent that is a file gives its folder.
      if (disk_.file(*parent) && !disk_.exists(*parent))
        *parent = parent->substr(0, parent->rfind('\\') + 1);
      path = *parent + path;
    }
    return searchDirectory(sig, withBackslash(path), depth);
  }

  // --- disk ---

  // A file signature inside `path` (or its folders, `depth` levels down), or the folder itself.
  std::optional<std::string> searchDirectory(const std::optional<FileSignature>& sig,
                                             const std::string& path, int depth) {
    std::vector<std::string> bases;
    if (isAbsolute(path)) {
      bases.push_back(path);
    } else {
      for (const std::string& volume : s_.machine.volumes()) bases.push_back(volume + path);
    }
    for (const std::string& base : bases) {
      std::optional<std::string> found;
      if (sig) {
        found = searchFiles(*sig, base, depth);
      } else if (disk_.exists(base)) {
        found = withBackslash(base);
      }
      if (found) return found;
    }
    return std::nullopt;
  }

  std::optional<std::string> searchFiles(const FileSignature& sig, const std::string& dir, int depth) {
    if (depth < 0 || ++visited_ > kMaxVisited || sig.file.empty()) return std::nullopt;
    const std::string candidate = withBackslash(dir) + sig.file;
    if (const MachineFile* file = disk_.file(candidate); file && matches(sig, *file))
      return candidate;
    if (depth == 0) return std::nullopt;
    for (const std::string& sub : disk_.subdirectories(withBackslash(dir)))
      if (auto found = searchFiles(sig, withBackslash(dir) + sub, depth - 1)) return found;
    return std::nullopt;
  }

  // A file named by a value (RegLocator, IniLocator, CompLocator of type file): without a file
  // signature, the folder the path names a file in.
  std::optional<std::string> searchFile(const std::string& path, const std::optional<FileSignature>& sig) {
    if (!sig) {
      const std::string folder = path.substr(0, path.rfind('\\') + 1);
      if (!folder.empty() && disk_.exists(folder)) return folder;
      return std::nullopt;
    }
    const MachineFile* file = disk_.file(path);
    if (!file) return std::nullopt;
    if (!file->version) return path;
    const std::uint64_t version = versionNumber(*file->version);
    if (sig->minVersion && version < sig->minVersion) return std::nullopt;
    if (sig->maxVersion && version > sig->maxVersion) return std::nullopt;
    return path;
  }

  static bool matches(const FileSignature& sig, const MachineFile& file) {
    if (sig.minSize && file.size < sig.minSize) return false;
    if (sig.maxSize && file.size > sig.maxSize) return false;
    if (!sig.minVersion && !sig.maxVersion) return true;
    if (!file.version) return false;
    const std::uint64_t version = versionNumber(*file.version);
    if (version < sig.minVersion) return false;
    if (sig.maxVersion && version > sig.maxVersion) return false;
    for (int language : sig.languages) {
      if (language == 0) continue;
      if (std::find(file.languages.begin(), file.languages.end(), language) == file.languages.end())
        return false;
    }
    return true;
  }

  // --- values ---

  std::string expand(const std::string& text) const {
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
      const std::size_t open = text.find('%', i);
      if (open == std::string::npos) {
        out += text.substr(i);
        break;
      }
      const std::size_t close = text.find('%', open + 1);
      if (close == std::string::npos) {
        out += text.substr(i);
        break;
      }
      out += text.substr(i, open - i);
      const std::string name = text.substr(open + 1, close - open - 1);
      if (auto value = s_.machine.environment(name); value && !name.empty()) {
        out += *value;
        i = close + 1;
      } else {
        // An unknown variable stays as written; its closing % may open the next one.
        out += text.substr(open, close - open);
        i = close;
      }
    }
    return out;
  }

  std::optional<std::string> rawValue(const RegValue& value) const {
    switch (value.type) {
      case kRegString: {
        std::string text = value.text();
        return text.starts_with('#') ? "#" + text : text;
      }
      case kRegExpandString: return expand(value.text());
      case kRegDword: return "#" + std::to_string(static_cast<std::int32_t>(value.number()));
      case kRegBinary: {
        std::string text = "#x";
        char hex[3];
        for (std::uint8_t b : value.data) {
          std::snprintf(hex, sizeof hex, "%02X", b);
          text += hex;
        }
        return text;
      }
      default: return std::nullopt;
    }
  }

  std::optional<std::string> iniValue(const std::string& file, const std::string& section,
                                      const std::string& key) const {
    auto fold = [](std::string text) {
      for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      return text;
    };
    auto fullPath = [&](const std::string& name) {
      return name.find('\\') == std::string::npos ? s_.property("WindowsFolder") + name : name;
    };
    const std::string wanted = fold(fullPath(file));
    for (const IniValue& v : s_.machine.iniValues)
      if (fold(fullPath(v.file)) == wanted && fold(v.section) == fold(section) &&
          fold(v.key) == fold(key))
        return v.value;
    return std::nullopt;
  }

  static std::string iniField(const std::string& value, int field) {
    if (field == 0) return value;
    std::size_t begin = 0;
    for (int i = 1; i < field; ++i) {
      const std::size_t comma = value.find(',', begin);
      if (comma == std::string::npos) break;
      begin = value.find_first_not_of(' ', comma + 1);
      if (begin == std::string::npos) begin = value.size();
    }
    return value.substr(begin, value.find(',', begin) - begin);
  }

  State& s_;
  const EmulatedDisk disk_;
  const TableRows signatures_, compLocator_, regLocator_, iniLocator_, drLocator_;
  std::multimap<std::string, std::size_t> signatureRows_, compRows_, regRows_, iniRows_, drRows_;
  std::size_t visited_ = 0;
  std::map<std::string, std::optional<std::string>> memo_;
  std::set<std::string> active_;
};

}  // namespace

ActionStatus runAppSearch(State& state) {
  Locator locator(state);
  const TableRows rows(*state.db, "AppSearch", {"Property", "Signature_"});
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const std::string property = rows.text(i, 0);
    if (property.empty()) continue;
    state.actionData({"", property, rows.text(i, 1)});
    if (auto found = locator.find(rows.text(i, 1))) state.setProperty(property, *found);
  }
  return ActionStatus::Success;
}

ActionStatus runCcpSearch(State& state, bool removableMedia) {
  // RMCCPSearch looks on removable media only, and the machine has none.
  if (removableMedia) return ActionStatus::Success;
  Locator locator(state);
  const TableRows rows(*state.db, "CCPSearch", {"Signature_"});
  for (std::size_t i = 0; i < rows.size(); ++i)
    if (locator.find(rows.text(i, 0))) {
      state.setProperty("CCP_Success", "1");
      break;
    }
  return ActionStatus::Success;
}

}  // namespace msi
