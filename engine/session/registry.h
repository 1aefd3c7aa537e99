// The registry of an emulated machine: keys and values as Windows stores them, filled from
// .reg text (reg_file.h) and read by the locator actions and helper emulations.
//
// Keys are named as a .reg file names them ("HKEY_LOCAL_MACHINE\SOFTWARE\Vendor"), compared
// case-insensitively. HKEY_CLASSES_ROOT is stored where Windows keeps it, under
// HKEY_LOCAL_MACHINE\SOFTWARE\Classes, and read merged with HKEY_CURRENT_USER\Software\Classes.
//
// On a 64-bit machine a 32-bit program sees HKEY_LOCAL_MACHINE\SOFTWARE through the
// Wow6432Node key: its 32-bit view. SOFTWARE\Classes is shared between the views except for
// the subkeys Windows redirects (CLSID, DirectShow, Interface, Media Type, MediaFoundation).
// Keys under HKEY_CURRENT_USER and HKEY_USERS are shared. A 32-bit machine has one view.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace msi {

// Registry value types, with the numbers hex(N) gives them in .reg text.
enum RegType : std::uint32_t {
  kRegNone = 0,
  kRegString = 1,
  kRegExpandString = 2,
  kRegBinary = 3,
  kRegDword = 4,
  kRegMultiString = 7,
  kRegQword = 11,
};

struct RegValue {
  std::uint32_t type = kRegNone;
  std::vector<std::uint8_t> data;  // as stored: strings in UTF-16LE with their terminator

  static RegValue string(std::string_view utf8, std::uint32_t type = kRegString);
  static RegValue dword(std::uint32_t value);
  // The text of a string value (up to its first NUL), UTF-8.
  std::string text() const;
  // The strings of a multi-string value.
  std::vector<std::string> strings() const;
  // The number of a DWORD (little-endian; shorter data is zero-extended).
  std::uint32_t number() const;
  bool operator==(const RegValue&) const = default;
};

enum class RegRoot { ClassesRoot, CurrentUser, LocalMachine, Users };
enum class RegView { Bits32, Bits64 };

class Registry {
 public:
  // Whether the machine has a separate 32-bit view (a 64-bit machine).
  explicit Registry(bool twoViews = true) : twoViews_(twoViews) {}
  void setTwoViews(bool twoViews) { twoViews_ = twoViews; }
  bool twoViews() const { return twoViews_; }

  // Writing, with full key names. Each throws Error for a name whose root is not a registry
  // root. Setting a value creates its key and the keys above it.
  void createKey(std::string_view key);
  void deleteKey(std::string_view key);  // and every key below it; nothing when absent
  void setValue(std::string_view key, std::string_view name, RegValue value);  // "" default
  void deleteValue(std::string_view key, std::string_view name);
  // Every key and value of `other`, over this registry's.
  void merge(const Registry& other);

  // Reading as a program of `view` bitness sees the registry.
  bool keyExists(RegRoot root, std::string_view key, RegView view) const;
  std::optional<RegValue> value(RegRoot root, std::string_view key, std::string_view name,
                                RegView view) const;
  // Names of a key's values and subkeys, in the case they were written, sorted.
  std::vector<std::string> valueNames(RegRoot root, std::string_view key, RegView view) const;
  std::vector<std::string> subkeys(RegRoot root, std::string_view key, RegView view) const;

  std::size_t keyCount() const { return keys_.size(); }

 private:
  struct Key {
    std::string name;  // as written
    std::map<std::string, std::pair<std::string, RegValue>> values;  // folded name -> (name, value)
  };
  // Stored key names (folded) a read looks at, most specific first.
  std::vector<std::string> storedNames(RegRoot root, std::string_view key, RegView view) const;
  const Key* find(RegRoot root, std::string_view key, RegView view) const;
  Key& ensure(const std::string& folded, const std::string& written);

  bool twoViews_;
  std::map<std::string, Key> keys_;  // folded full name -> key
};

}  // namespace msi
