// The one error type of the engine. Every failure says what it is about (file, table, row,
// column, query) in its message and what kind of failure it is, so that callers can decide
// (a missing table is not a damaged file) without reading the message.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace msi {

enum class ErrorKind {
  NotFound,     // a file, stream, table, column, row or property the call names is not there
  BadData,      // what was read is damaged or breaks the format's rules
  Syntax,       // a query, condition or text given by the caller cannot be parsed
  Constraint,   // the change would break a key, a nullability or a column type
  Io,           // the operating system refused a read, write, rename or lock
  Limit,        // a size or count bound of the engine was reached
  Unsupported,  // valid, but beyond what the engine does (a codepage, a format version)
};

// "not found", "bad data", ...: for messages and reports.
std::string_view kindName(ErrorKind kind);

class Error : public std::runtime_error {
 public:
  // Most failures of a reader are damaged input: that is the default kind.
  explicit Error(const std::string& message, ErrorKind kind = ErrorKind::BadData)
      : std::runtime_error(message), kind_(kind) {}
  Error(ErrorKind kind, const std::string& message) : Error(message, kind) {}

  ErrorKind kind() const noexcept { return kind_; }

  // The same failure seen from further out: `context` (say "setup.msi: ") goes before the
  // message, the kind stays.
  Error within(std::string_view context) const {
    return Error(std::string(context) + what(), kind_);
  }

 private:
  ErrorKind kind_;
};

}  // namespace msi
