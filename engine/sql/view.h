// Views: queries over a database in the installer's SQL dialect.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/db/database.h"

namespace msi {

// A record: fields numbered from 1; field 0 is the view's optional format/label field.
class Record {
 public:
  Record() = default;
  explicit Record(std::size_t fieldCount) : fields_(fieldCount) {}
  std::size_t fieldCount() const { return fields_.size(); }
  // 1-based; 0 is the format field. Throw Error when beyond fieldCount().
  const Value& field(std::size_t i) const;
  void setField(std::size_t i, Value v);
  // Text of a field: integers as decimal text, null as "".
  std::string stringData(std::size_t i) const { return field(i).text(); }
  void setStringData(std::size_t i, std::string_view text);  // "" stores null
  // Integers, and text that is a decimal integer; nullopt for null and anything else.
  std::optional<std::int32_t> integerData(std::size_t i) const;
  bool isNull(std::size_t i) const { return field(i).isNull(); }

  // Set by View::fetch: which view and row the record came from (for Modify update/delete).
  std::uint64_t origin = 0;
  std::size_t originRow = 0;

 private:
  Value format_;  // field 0
  std::vector<Value> fields_;
};

enum class ModifyMode : int {
  Seek = -1, Refresh = 0, Insert = 1, Update = 2, Assign = 3, Replace = 4, Merge = 5,
  Delete = 6, InsertTemporary = 7, Validate = 8, ValidateNew = 9, ValidateField = 10,
  ValidateDelete = 11,
};

class View {
 public:
  // Parses and binds `sql` against `db`. Throws Error naming the query and where it failed.
  static std::unique_ptr<View> open(Database& db, std::string_view sql);
  virtual ~View() = default;

  virtual void execute(const Record* params = nullptr) = 0;
  virtual std::optional<Record> fetch() = 0;  // nothing after the last row
  virtual void modify(ModifyMode mode, Record& record) = 0;
  virtual void close() = 0;

  // Result columns: names and definitions ("s72", "I2", ...).
  virtual std::vector<std::string> columnNames() const = 0;
  virtual std::vector<std::string> columnDefinitions() const = 0;
};

}  // namespace msi
