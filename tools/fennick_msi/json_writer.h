// One JSON document written as it is built, for the --json output of the reading commands.
// Strings are UTF-8; control characters, quotes and backslashes are escaped as JSON requires,
// and bytes that are not UTF-8 become U+FFFD, so every document parses.
#pragma once

#include <cstdint>
#include <ostream>
#include <string_view>
#include <vector>

namespace fennick::msicli {

class JsonWriter {
 public:
  explicit JsonWriter(std::ostream& out) : out_(out) {}
  // Ends the document with a line end; the caller has closed every object and array.
  ~JsonWriter();

  JsonWriter& beginObject();
  JsonWriter& endObject();
  JsonWriter& beginArray();
  JsonWriter& endArray();
  // The name of the next member of the current object.
  JsonWriter& key(std::string_view name);
  JsonWriter& string(std::string_view text);
  JsonWriter& number(std::int64_t n);
  JsonWriter& boolean(bool b);
  JsonWriter& null();

  // A JSON string literal, quotes included.
  static std::string quoted(std::string_view text);

 private:
  // Writes the comma a value needs unless it follows a key or opens its container.
  void separate();

  std::ostream& out_;
  std::vector<bool> first_;  // per open container: nothing written in it yet
  bool afterKey_ = false;
};

}  // namespace fennick::msicli
