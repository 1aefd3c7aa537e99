#include "tests/session/test_package.h"

#include "tests/support/fixtures.h"
#include "tests/support/table_sections.h"

namespace fennick::test {
namespace {

std::vector<std::string> fields(const std::string& line) {
  std::vector<std::string> out(1);
  for (char ch : line) {
    if (ch == '\t') out.emplace_back();
    else out.back().push_back(ch);
  }
  return out;
}

std::filesystem::path here(const std::string& file) { return std::filesystem::path(__FILE__).parent_path() / file; }

// The columns of a standard table, from packages/tables.txt.
msi::Schema standardSchema(const std::string& table) {
  static const auto headers = tableSections(here("packages/tables.txt"), "tables");
  const std::vector<std::string>& lines = headers.at(table);
  const auto names = fields(lines.at(0)), definitions = fields(lines.at(1));
  msi::Schema schema{table, {}};
  for (std::size_t i = 0; i < names.size(); ++i) {
    schema.columns.push_back(msi::Column::fromDefinition(names[i], definitions.at(i)));
    schema.columns.back().key = i + 1 < fields(lines.at(2)).size();
  }
  return schema;
}

}  // namespace

TestPackage::TestPackage()
    : db(msi::Database::open(scratchDir() / "package.msi", msi::OpenMode::Create)) {}

TestPackage& TestPackage::add(const std::string& table, const std::vector<msi::Row>& rows) {
  if (!db->hasTable(table)) db->createTable(standardSchema(table));
  msi::Table& t = db->table(table);
  for (msi::Row row : rows) {
    row.resize(t.schema().columns.size());
    t.insert(row);
  }
  return *this;
}

TestPackage& TestPackage::addText(const std::string& file, const std::string& name) {
  for (const auto& [table, lines] : tableSections(here(file), name)) {
    const std::vector<msi::Column> columns = standardSchema(table).columns;
    std::vector<msi::Row> rows;
    for (const std::string& line : lines) {
      msi::Row& row = rows.emplace_back();
      for (const std::string& cell : fields(line)) {
        const bool integer = row.size() < columns.size() && columns[row.size()].type == msi::ColumnType::Integer;
        row.push_back(cell.empty() ? msi::Value() : integer ? msi::Value(std::stoi(cell)) : msi::Value(cell));
      }
    }
    add(table, rows);
  }
  return *this;
}

TestPackage& TestPackage::property(const std::string& name, const std::string& value) {
  return add("Property", {{msi::Value(name), msi::Value(value)}});
}

TestPackage& TestPackage::templateText(const std::string& text) {
  db->summaryInfo().properties[msi::PID_TEMPLATE] = text;
  return *this;
}

std::unique_ptr<msi::Session> TestPackage::open(msi::SessionOptions options) const {
  return msi::Session::open(db, std::move(options));
}

std::unique_ptr<msi::Session> TestPackage::open() const { return open(testOptions()); }

std::string RecordingHost::all(msi::MessageKind kind) const {
  std::string out;
  for (const auto& [k, text] : messages)
    if (k == kind) out += (out.empty() ? "" : "\n") + text;
  return out;
}

msi::SessionOptions testOptions(msi::SessionHost* host) {
  msi::SessionOptions options;
  options.machine = msi::EmulatedMachine();
  options.host = host;
  return options;
}

}  // namespace fennick::test
