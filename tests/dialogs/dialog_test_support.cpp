#include "tests/dialogs/dialog_test_support.h"

#include <fstream>
#include <set>

#include "engine/idt/idt.h"
#include "tests/support/fixtures.h"
#include "tests/support/table_sections.h"

namespace fennick::test {
namespace fs = std::filesystem;

fs::path sourcePath(const std::string& relative) {
  return fs::path(__FILE__).parent_path().parent_path().parent_path() / relative;
}

namespace {

// The demo package built in `dir` from its archives, imported in the order of their names.
std::shared_ptr<msi::Database> buildDemo(const fs::path& dir) {
  std::shared_ptr<msi::Database> db = msi::Database::open(dir / "demo.msi", msi::OpenMode::Create);
  std::set<std::string> files;
  for (const auto& e : fs::directory_iterator(sourcePath("examples/demo")))
    if (e.path().extension() == ".idt") files.insert(e.path().filename().string());
  for (const std::string& file : files) msi::idt::importTable(*db, sourcePath("examples/demo"), file);
  return db;
}

}  // namespace

std::shared_ptr<msi::Database> demoPackage() { return buildDemo(scratchDir()); }

std::shared_ptr<msi::Database> rowsPackage(const std::map<std::string, std::string>& tables, bool overDemo) {
  const fs::path dir = scratchDir();
  std::shared_ptr<msi::Database> db =
      overDemo ? buildDemo(dir) : msi::Database::open(dir / "rows.msi", msi::OpenMode::Create);
  const fs::path folder = dir / "archives";
  fs::create_directories(folder);
  std::map<std::string, std::string> all = tables;
  if (!overDemo && !all.contains("Property")) all["Property"] = "ProductName\tRows\n";
  for (const auto& [table, rows] : all) {
    static const std::map<std::string, std::string> headers = packageRows("dialogs/packages/headers.txt", "headers");
    // Over the demo, the demo's own archive comes first: importing replaces a table's rows.
    const std::string demo = overDemo ? ReadText(sourcePath("examples/demo/" + table + ".idt")) : "";
    std::string text = (demo.empty() ? headers.at(table) : demo) + rows;
    if (!text.empty() && text.back() != '\n') text += '\n';
    std::ofstream(folder / (table + ".idt"), std::ios::binary) << text;
    msi::idt::importTable(*db, folder, table + ".idt");
  }
  return db;
}

std::string KeptMessages::all() const {
  std::string out;
  for (const auto& [kind, text] : messages) out += text + "\n";
  return out;
}

::testing::AssertionResult KeptMessages::said(std::string_view text) const {
  if (all().find(text) != std::string::npos) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "no message holds `" << text << "`; messages:\n" << all();
}

std::unique_ptr<msi::Session> openSession(std::shared_ptr<msi::Database> db, msi::SessionHost& host,
                                          msi::DialogRunner* runner,
                                          std::vector<std::pair<std::string, std::string>> properties) {
  msi::SessionOptions options;
  options.machine = msi::EmulatedMachine();
  options.host = &host;
  options.dialogs = runner;
  options.properties = std::move(properties);
  return msi::Session::open(std::move(db), std::move(options));
}

::testing::AssertionResult PlayedRun::playedThrough() const {
  if (player->mismatch()) return ::testing::AssertionFailure() << player->mismatch()->what();
  if (walk->peek()) return ::testing::AssertionFailure() << "the walk goes on at " << walk->where();
  return ::testing::AssertionSuccess();
}

std::string PlayedRun::outcome(const std::vector<std::string>& facts) const {
  std::string out(msi::actionStatusName(sequence.status));
  for (const std::string& fact : facts) {
    if (!fact.starts_with("dialogs=")) {
      out += factsOf(*session, host, {fact});
      continue;
    }
    out += "\ndialogs=";
    for (const auto& step : sequence.steps)
      if (step.kind == msi::SequenceStep::Kind::Ran && session->actionKind(step.action) == msi::Session::ActionKind::Dialog)
        out += (out.ends_with("=") ? "" : " ") + step.action + ":" + std::string(msi::actionStatusName(step.status));
  }
  return out;
}

namespace {

std::string controlField(const msi::dialogs::Control& c, const std::string& field) {
  const auto yesNo = [](bool b) { return std::string(b ? "yes" : "no"); };
  if (field == "text") return c.text;
  if (field == "style") return c.textStyle;
  if (field == "value") return c.value;
  if (field == "help") return c.help;
  if (field == "image") return c.image;
  if (field == "icon") return c.selectionIcon;
  if (field == "highlighted") return c.highlightedFeature;
  if (field == "enabled") return yesNo(c.enabled);
  if (field == "visible") return yesNo(c.visible);
  if (field == "checked") return yesNo(c.checked);
  std::string out;
  for (const auto& item : c.items) out += (out.empty() ? "" : ", ") + item.value;
  for (const auto& item : c.tree)
    out += (out.empty() ? "" : ", ") + item.feature + ":" + std::to_string(static_cast<int>(item.state));
  return field == "items" ? out : "(no field `" + field + "`)";
}

}  // namespace

std::string factsOf(const msi::Session& session, const KeptMessages& host, const std::vector<std::string>& facts,
                    const msi::dialogs::Wizard* wizard) {
  std::string out;
  for (const std::string& fact : facts) {
    const std::string name = fact.substr(0, fact.find('='));
    std::string value;
    if (name.starts_with("&")) {
      const msi::FeatureTree* tree = session.featureTree();
      const auto i = tree ? tree->find(name.substr(1)) : std::nullopt;
      value = i ? std::to_string(static_cast<int>(tree->entries()[*i].request)) : "(not in the tree)";
    } else if (name.starts_with("[") && name.ends_with("]")) {
      value = session.targetPath(name.substr(1, name.size() - 2)).value_or("(none)");
    } else if (wizard && name.find('.') != std::string::npos) {
      const msi::dialogs::Control* control = wizard->active().find(name.substr(0, name.rfind('.')));
      value = control ? controlField(*control, name.substr(name.rfind('.') + 1)) : "(no such control)";
    } else if (name == "said") {
      value = host.said(fact.substr(5)) ? fact.substr(5) : host.all();
    } else {
      value = session.property(name);
    }
    out += "\n" + name + "=" + value;
  }
  return out;
}

std::string asLines(const std::vector<std::string>& facts) {
  std::string out;
  for (const std::string& fact : facts) out += "\n" + fact;
  return out;
}

::testing::AssertionResult hasFacts(const msi::Session& session, const KeptMessages& host,
                                    const std::vector<std::string>& facts, const msi::dialogs::Wizard* wizard) {
  const std::string have = factsOf(session, host, facts, wizard);
  if (have == asLines(facts)) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "the session has:" << have << "\nnot:" << asLines(facts);
}

std::unique_ptr<PlayedRun> playWalk(std::shared_ptr<msi::Database> db, msi::dialogs::Walk walk,
                                    std::vector<std::pair<std::string, std::string>> properties) {
  auto run = std::make_unique<PlayedRun>();
  run->walk = std::make_shared<msi::dialogs::Walk>(std::move(walk));
  run->player = std::make_unique<msi::dialogs::WalkPlayer>(run->walk);
  run->session = openSession(std::move(db), run->host, run->player.get(), std::move(properties));
  run->sequence = msi::runSequence(*run->session, "InstallUISequence");
  return run;
}

std::map<std::string, std::string> packageRows(const std::string& file, const std::string& name) {
  std::map<std::string, std::string> tables;
  for (const auto& [table, rows] : tableSections(sourcePath("tests/" + file), name))
    for (const std::string& row : rows) tables[table] += row + "\n";
  return tables;
}

std::shared_ptr<msi::Database> openFixture(const std::string& relative) {
  return msi::Database::open(fixture(relative), msi::OpenMode::ReadOnly);
}

}  // namespace fennick::test
