// Cell values and column definitions of installer database tables.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "engine/base/error.h"

namespace msi {


using Bytes = std::vector<std::uint8_t>;

// The content of a binary (stream) cell. Loaded on first use, shared between copies.
class Blob {
 public:
  Blob() = default;
  explicit Blob(Bytes data);
  explicit Blob(std::function<Bytes()> loader);  // called at most once, on first bytes()
  const Bytes& bytes() const;
  bool operator==(const Blob& other) const;  // by content
  // True when both are copies of the same blob (no content is loaded to decide).
  bool sameAs(const Blob& other) const noexcept;

 private:
  struct State;
  std::shared_ptr<State> state_;
};

// A cell: null, integer, text (UTF-8) or binary. An empty string and null are the same
// thing in a database; both are stored as Value() (null).
class Value {
 public:
  Value() = default;
  Value(std::int32_t i) : v_(i) {}
  Value(std::string s);
  Value(std::string_view s) : Value(std::string(s)) {}
  Value(const char* s) : Value(std::string(s)) {}
  Value(Blob b) : v_(std::move(b)) {}

  bool isNull() const { return std::holds_alternative<std::monostate>(v_); }
  bool isInt() const { return std::holds_alternative<std::int32_t>(v_); }
  bool isString() const { return std::holds_alternative<std::string>(v_); }
  bool isBlob() const { return std::holds_alternative<Blob>(v_); }
  std::int32_t asInt() const { return std::get<std::int32_t>(v_); }
  const std::string& asString() const { return std::get<std::string>(v_); }
  const Blob& asBlob() const { return std::get<Blob>(v_); }
  // Text form: integers as decimal, null as "", blobs as "" (their data is read separately).
  std::string text() const;
  bool operator==(const Value& other) const = default;

 private:
  std::variant<std::monostate, std::int32_t, std::string, Blob> v_;
};

using Row = std::vector<Value>;

enum class ColumnType { Integer, String, Binary };

struct Column {
  std::string name;
  ColumnType type = ColumnType::String;
  int width = 0;  // integers: 2 or 4 bytes; strings: declared length (0 = unlimited); binary: 0
  bool nullable = false;
  bool key = false;
  bool localizable = false;
  bool temporary = false;

  // The raw type bits stored in `_Columns` (before the integer bias).
  std::uint16_t typeBits() const;
  static Column fromTypeBits(std::string name, std::uint16_t bits);
  // The .idt / column-info letter form: "s72", "S0", "L64", "i2", "I4", "v0".
  std::string definition() const;
  static Column fromDefinition(std::string name, std::string_view def);  // throws Error
};

struct Schema {
  std::string name;
  std::vector<Column> columns;  // key columns first
  bool temporary = false;

  std::size_t keyCount() const;
  std::optional<std::size_t> indexOf(std::string_view column) const;
};

}  // namespace msi
