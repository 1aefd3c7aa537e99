#include "engine/session/machine_file.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "engine/session/reg_file.h"

namespace msi {
namespace {

// Machine files are small; a larger one (or a registry file it names) is refused before it is
// read into memory.
constexpr std::uintmax_t kMaxFileBytes = std::uintmax_t{64} << 20;
// `registry` lines per machine file: an include cannot name the machine file itself.
constexpr int kMaxIncludes = 256;

std::string_view trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

std::string upper(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

bool isAbsoluteWindowsPath(std::string_view path) {
  if (path.starts_with("\\\\")) return path.size() > 2;
  return path.size() >= 3 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':' &&
         path[2] == '\\';
}

bool isGuid(std::string_view text) {
  if (text.size() != 38 || text.front() != '{' || text.back() != '}') return false;
  for (std::size_t i = 1; i < 37; ++i) {
    const bool dash = i == 9 || i == 14 || i == 19 || i == 24;
    if (dash ? text[i] != '-' : !std::isxdigit(static_cast<unsigned char>(text[i]))) return false;
  }
  return true;
}

class MachineFileParser {
 public:
  MachineFileParser(std::string_view source, const MachineIncludeReader& readInclude)
      : source_(source), readInclude_(readInclude) {}

  EmulatedMachine parse(std::string_view text) {
    std::size_t start = 0;
    for (line_ = 1; start < text.size() || start == 0; ++line_) {
      std::size_t end = text.find('\n', start);
      if (end == std::string_view::npos) end = text.size();
      std::string_view raw = text.substr(start, end - start);
      if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);
      if (isRegHeader(raw)) {
        // The rest of the file is registry content, from its header line.
        applyRegText(text.substr(start), source_, machine_.registry, line_);
        break;
      }
      directive(trim(raw));
      if (end >= text.size()) break;
      start = end + 1;
    }
    return std::move(machine_);
  }

 private:
  [[noreturn]] void fail(const std::string& what) const {
    throw MachineTextError(source_, line_, what);
  }

  // The next word of `rest`, unquoted; rest moves past it. Empty at the end of the line.
  std::string word(std::string_view& rest) {
    rest = trim(rest);
    std::string out;
    if (rest.empty()) return out;
    if (rest.front() != '"') {
      const std::size_t end = std::min(rest.find_first_of(" \t"), rest.size());
      out = std::string(rest.substr(0, end));
      rest.remove_prefix(end);
      return out;
    }
    for (std::size_t i = 1; i < rest.size(); ++i) {
      const char c = rest[i];
      if (c == '"') {
        rest.remove_prefix(i + 1);
        if (!rest.empty() && rest.front() != ' ' && rest.front() != '\t')
          fail("a closing quote must end its word");
        if (out.empty()) fail("an empty quoted word");
        return out;
      }
      if (c == '\\' && i + 1 < rest.size() && (rest[i + 1] == '"' || rest[i + 1] == '\\')) {
        out += rest[++i];
      } else {
        out += c;
      }
    }
    fail("a quoted word is not closed with `\"`");
  }

  std::string requiredWord(std::string_view& rest, const char* what) {
    std::string w = word(rest);
    if (w.empty()) fail(std::string("expected ") + what);
    return w;
  }

  void noMore(std::string_view rest, const char* directive) {
    if (!trim(rest).empty())
      fail(std::string("unexpected `") + std::string(trim(rest)) + "` after " + directive);
  }

  std::string path(std::string_view& rest, const char* what) {
    std::string p = requiredWord(rest, what);
    if (!isAbsoluteWindowsPath(p)) fail("`" + p + "` is not a full Windows path (C:\\... or \\\\server\\share\\...)");
    return p;
  }

  // NAME=VALUE: the rest of the line; a VALUE wholly in double quotes is unquoted.
  std::pair<std::string, std::string> assignment(std::string_view rest, const char* directive) {
    rest = trim(rest);
    const std::size_t eq = rest.find('=');
    if (eq == std::string_view::npos || eq == 0)
      fail(std::string(directive) + " needs NAME=VALUE");
    std::string name(trim(rest.substr(0, eq)));
    std::string_view value = trim(rest.substr(eq + 1));
    if (name.find_first_of(" \t\"") != std::string::npos)
      fail("`" + name + "` is not a name (no blanks or quotes)");
    if (value == "\"\"") return {name, std::string()};
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
      std::string_view quoted = value;
      std::string unquoted = word(quoted);
      return {name, unquoted};
    }
    return {name, std::string(value)};
  }

  void started() { anything_ = true; }

  // The line without its comment: a `#` at the start or after a blank, outside quotes.
  static std::string_view withoutComment(std::string_view line) {
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
      const char c = line[i];
      if (quoted && c == '\\' && i + 1 < line.size() && (line[i + 1] == '"' || line[i + 1] == '\\')) {
        ++i;
      } else if (c == '"') {
        quoted = !quoted;
      } else if (!quoted && c == '#' && (i == 0 || line[i - 1] == ' ' || line[i - 1] == '\t')) {
        return trim(line.substr(0, i));
      }
    }
    return line;
  }

  void directive(std::string_view line) {
    line = withoutComment(line);
    if (line.empty()) return;
    std::string_view rest = line;
    const std::string keyword = word(rest);
    if (keyword == "machine") {
      const std::string base = requiredWord(rest, "a built-in machine name");
      noMore(rest, "the machine name");
      if (anything_) fail("`machine` must come before everything it starts from");
      try {
        machine_ = EmulatedMachine::builtIn(base);
      } catch (const Error& e) {
        fail(e.what());
      }
    } else if (keyword == "property") {
      auto [name, value] = assignment(rest, "property");
      machine_.extraProperties[name] = value;
    } else if (keyword == "environment") {
      auto [name, value] = assignment(rest, "environment");
      machine_.extraEnvironment[name] = value;
    } else if (keyword == "folder") {
      std::string p = path(rest, "a folder path");
      noMore(rest, "the folder");
      if (!p.ends_with('\\')) p += '\\';
      machine_.extraFolders.push_back(p);
    } else if (keyword == "file") {
      fileLine(rest);
    } else if (keyword == "component") {
      const std::string guid = upper(requiredWord(rest, "a component code {GUID}"));
      if (!isGuid(guid)) fail("`" + guid + "` is not a component code ({XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX})");
      const std::string p = path(rest, "the component's key path");
      noMore(rest, "the key path");
      machine_.components[guid] = p;
    } else if (keyword == "ini") {
      IniValue v;
      v.file = requiredWord(rest, "an .ini file");
      v.section = requiredWord(rest, "a section");
      auto [key, value] = assignment(rest, "ini");
      v.key = key;
      v.value = value;
      machine_.iniValues.push_back(std::move(v));
    } else if (keyword == "registry") {
      const std::string file = requiredWord(rest, "a .reg file");
      noMore(rest, "the .reg file");
      if (++includes_ > kMaxIncludes) fail("more than 256 registry files");
      std::string bytes;
      try {
        bytes = readInclude_(file);
      } catch (const Error& e) {
        fail(e.what());
      }
      applyRegText(decodeTextFile(bytes), file, machine_.registry);
    } else {
      fail("unknown directive `" + keyword +
           "` (machine, property, environment, folder, file, component, ini, registry, or a "
           ".reg header line)");
    }
    started();
  }

  void fileLine(std::string_view rest) {
    MachineFile f;
    f.path = path(rest, "a file path");
    if (f.path.ends_with('\\')) fail("a file path cannot end with a backslash (use `folder`)");
    for (std::string attribute = word(rest); !attribute.empty(); attribute = word(rest)) {
      const std::string value = requiredWord(rest, ("a value after " + attribute).c_str());
      if (attribute == "version") {
        std::array<std::uint16_t, 4> parts{};
        std::size_t count = 0, pos = 0;
        while (pos <= value.size()) {
          const std::size_t dot = std::min(value.find('.', pos), value.size());
          const std::string_view part = std::string_view(value).substr(pos, dot - pos);
          if (count == 4 || part.empty() || part.size() > 5 ||
              part.find_first_not_of("0123456789") != std::string_view::npos ||
              std::stoul(std::string(part)) > 65535)
            fail("`" + value + "` is not a file version (1 to 4 numbers 0-65535, with dots)");
          parts[count++] = static_cast<std::uint16_t>(std::stoul(std::string(part)));
          pos = dot + 1;
        }
        f.version = parts;
      } else if (attribute == "size") {
        if (value.empty() || value.size() > 18 || value.find_first_not_of("0123456789") != std::string::npos)
          fail("`" + value + "` is not a size in bytes");
        f.size = std::stoull(value);
      } else if (attribute == "language") {
        std::size_t pos = 0;
        while (pos <= value.size()) {
          const std::size_t comma = std::min(value.find(',', pos), value.size());
          const std::string part = value.substr(pos, comma - pos);
          if (part.empty() || part.size() > 5 || part.find_first_not_of("0123456789") != std::string::npos)
            fail("`" + value + "` is not a list of language numbers");
          f.languages.push_back(std::stoi(part));
          pos = comma + 1;
        }
      } else {
        fail("unknown file attribute `" + attribute + "` (version, size, language)");
      }
    }
    machine_.files.push_back(std::move(f));
  }

  std::string_view source_;
  const MachineIncludeReader& readInclude_;
  EmulatedMachine machine_ = EmulatedMachine::builtIn("win10-x64");
  int line_ = 1;
  int includes_ = 0;
  bool anything_ = false;
};

std::string readFileBytes(const std::filesystem::path& path) {
  std::error_code ec;
  const auto size = std::filesystem::file_size(path, ec);
  if (ec) throw Error(path.string() + ": cannot be read: " + ec.message());
  if (size > kMaxFileBytes) throw Error(path.string() + ": larger than 64 MiB; not a machine file");
  std::ifstream in(path, std::ios::binary);
  if (!in) throw Error(path.string() + ": cannot be read: " + std::strerror(errno));
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

}  // namespace

EmulatedMachine parseMachineFile(std::string_view text, std::string_view source,
                                 const MachineIncludeReader& readInclude) {
  return MachineFileParser(source, readInclude).parse(text);
}

EmulatedMachine loadMachine(std::string_view nameOrPath) {
  EmulatedMachine machine;
  const auto names = EmulatedMachine::builtInNames();
  if (std::find(names.begin(), names.end(), nameOrPath) != names.end()) {
    machine = EmulatedMachine::builtIn(nameOrPath);
  } else {
    const std::filesystem::path file{std::string(nameOrPath)};
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file, ec)) {
      std::string known;
      for (const std::string& n : names) known += (known.empty() ? "" : ", ") + n;
      throw Error("machine `" + std::string(nameOrPath) +
                  "`: neither a built-in machine (" + known + ") nor a machine file");
    }
    const std::filesystem::path folder = file.parent_path();
    machine = parseMachineFile(decodeTextFile(readFileBytes(file)), file.string(),
                               [&](const std::string& include) {
                                 std::filesystem::path p{include};
                                 if (p.is_relative()) p = folder / p;
                                 return readFileBytes(p);
                               });
    machine.name = file.string();
  }
  machine.adoptCurrentUser();
  return machine;
}

}  // namespace msi
