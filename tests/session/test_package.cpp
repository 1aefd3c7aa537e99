#include "tests/session/test_package.h"

#include <map>

#include "tests/support/fixtures.h"
#include "tests/support/table_sections.h"

namespace fennick::test {
namespace {

struct TableShape {
  std::vector<std::pair<const char*, const char*>> columns;  // name, definition
  std::size_t keys = 1;
};

const std::map<std::string, TableShape>& shapes() {
  static const std::map<std::string, TableShape> all = {
      {"Property", {{{"Property", "s72"}, {"Value", "L0"}}}},
      {"Directory", {{{"Directory", "s72"}, {"Directory_Parent", "S72"}, {"DefaultDir", "L255"}}}},
      {"Feature",
       {{{"Feature", "s38"}, {"Feature_Parent", "S38"}, {"Title", "L64"}, {"Description", "L255"},
         {"Display", "I2"}, {"Level", "I2"}, {"Directory_", "S72"}, {"Attributes", "I2"}}}},
      {"Component",
       {{{"Component", "s72"}, {"ComponentId", "S38"}, {"Directory_", "S72"}, {"Attributes", "I2"},
         {"Condition", "S255"}, {"KeyPath", "S72"}}}},
      {"FeatureComponents", {{{"Feature_", "s38"}, {"Component_", "s72"}}, 2}},
      {"File",
       {{{"File", "s72"}, {"Component_", "S72"}, {"FileName", "L255"}, {"FileSize", "I4"},
         {"Version", "S72"}, {"Language", "S20"}, {"Attributes", "I2"}, {"Sequence", "I4"}}}},
      {"Condition", {{{"Feature_", "s38"}, {"Level", "i2"}, {"Condition", "S255"}}, 2}},
      {"InstallUISequence", {{{"Action", "s72"}, {"Condition", "S255"}, {"Sequence", "I2"}}}},
      {"CustomAction",
       {{{"Action", "s72"}, {"Type", "I2"}, {"Source", "S72"}, {"Target", "S255"}}}},
      {"LaunchCondition", {{{"Condition", "s255"}, {"Description", "L255"}}}},
      {"_VsdLaunchCondition", {{{"Condition", "s255"}, {"Description", "L255"}, {"Url", "S0"}}}},
      {"AppSearch", {{{"Property", "s72"}, {"Signature_", "s72"}}, 2}},
      {"DrLocator",
       {{{"Signature_", "s72"}, {"Parent", "S72"}, {"Path", "S255"}, {"Depth", "I2"}}, 3}},
      {"RegLocator",
       {{{"Signature_", "s72"}, {"Root", "I2"}, {"Key", "S255"}, {"Name", "S255"}, {"Type", "I2"}}}},
      {"Signature", {{{"Signature", "s72"}, {"FileName", "S255"}}}},
      {"CCPSearch", {{{"Signature_", "s72"}}}},
      {"Error", {{{"Error", "i2"}, {"Message", "L0"}}}},
      {"Dialog", {{{"Dialog", "s72"}, {"Title", "L128"}}}},
  };
  return all;
}

}  // namespace

TestPackage::TestPackage()
    : db(msi::Database::open(scratchDir() / "package.msi", msi::OpenMode::Create)) {}

TestPackage& TestPackage::add(const std::string& table, const std::vector<msi::Row>& rows) {
  if (!db->hasTable(table)) {
    const TableShape& shape = shapes().at(table);
    msi::Schema schema;
    schema.name = table;
    for (std::size_t i = 0; i < shape.columns.size(); ++i) {
      msi::Column c = msi::Column::fromDefinition(shape.columns[i].first, shape.columns[i].second);
      c.key = i < shape.keys;
      schema.columns.push_back(c);
    }
    db->createTable(schema);
  }
  msi::Table& t = db->table(table);
  for (msi::Row row : rows) {
    row.resize(t.schema().columns.size());
    t.insert(row);
  }
  return *this;
}

TestPackage& TestPackage::addText(const std::string& file, const std::string& name) {
  for (const auto& [table, lines] : tableSections(std::filesystem::path(__FILE__).parent_path() / file, name)) {
    add(table, {});
    const auto& columns = db->table(table).schema().columns;
    std::vector<msi::Row> rows;
    for (const std::string& line : lines) {
      msi::Row& row = rows.emplace_back();
      for (std::size_t at = 0, tab = 0; tab != std::string::npos && row.size() < columns.size(); at = tab + 1) {
        tab = line.find('\t', at);
        const std::string cell = line.substr(at, tab == std::string::npos ? tab : tab - at);
        const bool integer = columns[row.size()].type == msi::ColumnType::Integer;
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
