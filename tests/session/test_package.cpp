#include "tests/session/test_package.h"

#include "tests/support/fixtures.h"
#include "tests/support/msitools.h"
#include "tests/support/table_sections.h"

namespace fennick::test {
namespace {

std::filesystem::path here(const std::string& file) { return std::filesystem::path(__FILE__).parent_path() / file; }

// The columns of a standard table, from packages/tables.txt.
msi::Schema standardSchema(const std::string& table) {
  static const auto headers = tableSections(here("packages/tables.txt"), "tables");
  const std::vector<std::string>& lines = headers.at(table);
  const auto names = split(lines.at(0), '\t'), definitions = split(lines.at(1), '\t');
  msi::Schema schema{table, {}};
  for (std::size_t i = 0; i < names.size(); ++i) {
    schema.columns.push_back(msi::Column::fromDefinition(names[i], definitions.at(i)));
    schema.columns.back().key = i + 1 < split(lines.at(2), '\t').size();
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
      for (const std::string& cell : split(line, '\t')) {
        const bool integer = row.size() < columns.size() && columns[row.size()].type == msi::ColumnType::Integer;
        row.push_back(cell.empty() ? msi::Value() : integer ? msi::Value(std::stoi(cell)) : msi::Value(cell));
      }
    }
    add(table, rows);
  }
  return *this;
}

std::unique_ptr<msi::Session> TestPackage::open(msi::SessionOptions options) const {
  return msi::Session::open(db, std::move(options));
}

std::string RecordingHost::all(msi::MessageKind kind) const {
  std::string out;
  for (const auto& [k, text] : messages)
    if (k == kind) out += (out.empty() ? "" : "\n") + text;
  return out;
}

std::unique_ptr<msi::Session> costed(const TestPackage& package,
                                     std::vector<std::pair<std::string, std::string>> properties) {
  auto options = testOptions();
  options.properties = std::move(properties);
  auto session = package.open(std::move(options));
  EXPECT_EQ(session->doAction("CostInitialize"), msi::ActionStatus::Success);
  EXPECT_EQ(session->doAction("CostFinalize"), msi::ActionStatus::Success);
  return session;
}

::testing::AssertionResult answers(const msi::Session& session, const std::string& name) {
  const auto section = name.empty() ? ::testing::UnitTest::GetInstance()->current_test_info()->name() : name;
  const auto text = [](const std::optional<std::string>& s) { return s ? s->empty() ? "<empty>" : *s : "<none>"; };
  std::string wrong;
  for (const auto& row : caseRows(here("answers.txt"), section)) {
    const std::string& what = row.at(0);
    const std::string& of = row.at(1);
    std::string got;
    try {
      if (what == "property") got = text(session.property(of));
      else if (what == "target") got = text(session.targetPath(of));
      else if (what == "source") got = text(session.sourcePath(of));
      else if (what == "format") got = text(session.formatText(of));
      else if (what == "short") got = text(session.fileShortPath(of));
      else if (what == "condition") got = std::to_string(static_cast<int>(session.evaluateCondition(of)));
      else if (what == "request") got = std::to_string(static_cast<int>(session.featureRequestState(of)));
      else if (what == "cost") got = std::to_string(session.featureCost(of));
      else if (what == "component") {
        const msi::InstallStates states = session.componentState(of);
        got = std::to_string(static_cast<int>(states.installed)) + " " + std::to_string(static_cast<int>(states.action));
      } else {
        return ::testing::AssertionFailure() << "answers.txt [" << section << "]: no query `" << what << "`";
      }
    } catch (const msi::Error&) {
      got = "<error>";
    }
    if (got != row.at(2))
      wrong += "\n  " + what + " " + of + " = `" + got + "`, expected `" + row[2] + "`" +
               (row.size() > 3 ? " (" + row[3] + ")" : "");
  }
  if (wrong.empty()) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "answers.txt [" << section << "] differ:" << wrong;
}

msi::SessionOptions testOptions(msi::SessionHost* host) {
  msi::SessionOptions options;
  options.machine = msi::EmulatedMachine();
  options.host = host;
  return options;
}

}  // namespace fennick::test
