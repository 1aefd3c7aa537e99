#include "tests/dialogs/dialog_test_support.h"

#include <algorithm>
#include <fstream>

#include "engine/idt/idt.h"
#include "tests/support/fixtures.h"

namespace fennick::test {
namespace fs = std::filesystem;
namespace {

// Column names and definitions of the tables the tests write rows for.
const std::map<std::string, std::pair<std::string, std::string>>& tableHeaders() {
  static const std::map<std::string, std::pair<std::string, std::string>> headers{
      {"Dialog",
       {"Dialog\tHCentering\tVCentering\tWidth\tHeight\tAttributes\tTitle\tControl_First\tControl_Default\tControl_Cancel",
        "s72\ti2\ti2\ti2\ti2\tI4\tL128\ts50\tS50\tS50\nDialog\tDialog"}},
      {"Control",
       {"Dialog_\tControl\tType\tX\tY\tWidth\tHeight\tAttributes\tProperty\tText\tControl_Next\tHelp",
        "s72\ts50\ts20\ti2\ti2\ti2\ti2\tI4\tS72\tL0\tS50\tL50\nControl\tDialog_\tControl"}},
      {"ControlEvent",
       {"Dialog_\tControl_\tEvent\tArgument\tCondition\tOrdering",
        "s72\ts50\ts50\ts255\tS255\tI2\nControlEvent\tDialog_\tControl_\tEvent\tArgument\tCondition"}},
      {"ControlCondition",
       {"Dialog_\tControl_\tAction\tCondition", "s72\ts50\ts50\ts255\nControlCondition\tDialog_\tControl_\tAction\tCondition"}},
      {"EventMapping", {"Dialog_\tControl_\tEvent\tAttribute", "s72\ts50\ts50\ts50\nEventMapping\tDialog_\tControl_\tEvent"}},
      {"RadioButton",
       {"Property\tOrder\tValue\tX\tY\tWidth\tHeight\tText\tHelp",
        "s72\ti2\ts64\ti2\ti2\ti2\ti2\tL0\tL50\nRadioButton\tProperty\tOrder"}},
      {"ComboBox", {"Property\tOrder\tValue\tText", "s72\ti2\ts64\tL64\nComboBox\tProperty\tOrder"}},
      {"ListBox", {"Property\tOrder\tValue\tText", "s72\ti2\ts64\tL64\nListBox\tProperty\tOrder"}},
      {"CheckBox", {"Property\tValue", "s72\tS64\nCheckBox\tProperty"}},
      {"Property", {"Property\tValue", "s72\tl0\nProperty\tProperty"}},
      {"TextStyle", {"TextStyle\tFaceName\tSize\tColor\tStyleBits", "s72\ts32\ti2\tI4\tI2\nTextStyle\tTextStyle"}},
      {"Feature",
       {"Feature\tFeature_Parent\tTitle\tDescription\tDisplay\tLevel\tDirectory_\tAttributes",
        "s38\tS38\tL64\tL255\tI2\ti2\tS72\ti2\nFeature\tFeature"}},
      {"Directory", {"Directory\tDirectory_Parent\tDefaultDir", "s72\tS72\tl255\nDirectory\tDirectory"}},
      {"Component",
       {"Component\tComponentId\tDirectory_\tAttributes\tCondition\tKeyPath",
        "s72\tS38\ts72\ti2\tS255\tS72\nComponent\tComponent"}},
      {"FeatureComponents", {"Feature_\tComponent_", "s38\ts72\nFeatureComponents\tFeature_\tComponent_"}},
      {"InstallUISequence", {"Action\tCondition\tSequence", "s72\tS255\tI2\nInstallUISequence\tAction"}},
      {"CustomAction",
       {"Action\tType\tSource\tTarget\tExtendedType", "s72\ti2\tS72\tS255\tI4\nCustomAction\tAction"}},
      {"UIText", {"Key\tText", "s72\tL255\nUIText\tKey"}},
      {"ActionText", {"Action\tDescription\tTemplate", "s72\tL64\tL128\nActionText\tAction"}},
      {"AppSearch", {"Property\tSignature_", "s72\ts72\nAppSearch\tProperty\tSignature_"}},
  };
  return headers;
}

void writeFile(const fs::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
}

std::vector<std::string> demoArchives() {
  std::vector<std::string> files;
  for (const auto& e : fs::directory_iterator(sourcePath("examples/demo")))
    if (e.path().extension() == ".idt") files.push_back(e.path().filename().string());
  std::sort(files.begin(), files.end());
  return files;
}

}  // namespace

fs::path sourcePath(const std::string& relative) {
  return fs::path(__FILE__).parent_path().parent_path().parent_path() / relative;
}

namespace {

std::shared_ptr<msi::Database> buildDemo(const fs::path& dir) {
  std::shared_ptr<msi::Database> db = msi::Database::open(dir / "demo.msi", msi::OpenMode::Create);
  for (const std::string& file : demoArchives()) msi::idt::importTable(*db, sourcePath("examples/demo"), file);
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
    const auto& [names, definitions] = tableHeaders().at(table);
    std::string text = names + "\n" + definitions + "\n";
    // Over the demo, the demo's own rows come first: importing replaces a table's rows.
    if (overDemo && fs::exists(sourcePath("examples/demo/" + table + ".idt"))) {
      std::ifstream in(sourcePath("examples/demo/" + table + ".idt"), std::ios::binary);
      std::string line;
      for (int n = 0; std::getline(in, line); ++n)
        if (n >= 3 && !line.empty()) text += line + "\n";
    }
    text += rows;
    if (!text.empty() && text.back() != '\n') text += '\n';
    writeFile(folder / (table + ".idt"), text);
    msi::idt::importTable(*db, folder, table + ".idt");
  }
  return db;
}

std::string KeptMessages::all() const {
  std::string out;
  for (const auto& [kind, text] : messages) out += text + "\n";
  return out;
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

msi::InstallState PlayedRun::request(const std::string& feature) const {
  const msi::FeatureTree* tree = session->featureTree();
  const auto i = tree ? tree->find(feature) : std::nullopt;
  if (!i) throw msi::Error("feature `" + feature + "` is not in the tree");
  const msi::InstallState request = tree->entries()[*i].request;
  return request == msi::InstallState::Unknown ? msi::InstallState::Absent : request;
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

std::string tsv(std::initializer_list<std::string_view> fields) {
  std::string out;
  bool first = true;
  for (std::string_view f : fields) {
    if (!first) out += '\t';
    out += f;
    first = false;
  }
  return out + "\n";
}

std::shared_ptr<msi::Database> openFixture(const std::string& relative) {
  return msi::Database::open(fixture(relative), msi::OpenMode::ReadOnly);
}

}  // namespace fennick::test
