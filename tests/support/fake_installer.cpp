#include "tests/support/fake_installer.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <regex>
#include <sstream>

#include "src/driver/session_driver.h"
#include "src/transform/transform.h"
#include "tests/support/fixtures.h"
#include "tests/support/msitools.h"
#include "tests/support/table_sections.h"

namespace fennick::test {
namespace {

// Order of ORDER BY: integers by value (null first), texts by bytes.
bool Less(const std::string& a, const std::string& b) {
  auto isInt = [](const std::string& s) {
    return !s.empty() && s.find_first_not_of("-0123456789") == std::string::npos;
  };
  if ((a.empty() || isInt(a)) && (b.empty() || isInt(b))) {
    if (a.empty() || b.empty()) return a.empty() && !b.empty();
    return std::stol(a) < std::stol(b);
  }
  return a < b;
}

class FakeRecord : public installer::Record {
 public:
  explicit FakeRecord(std::vector<std::string> fields) : fields_(std::move(fields)) {}
  std::string StringData(int field) const override { return fields_[Index(field)]; }
  void StringData(int field, std::string_view value) override { fields_[Index(field)] = std::string(value); }

 private:
  std::size_t Index(int field) const {
    if (field < 1 || field > static_cast<int>(fields_.size()))
      throw installer::Error("record has no field " + std::to_string(field));
    return static_cast<std::size_t>(field - 1);
  }
  std::vector<std::string> fields_;
};

// Understands the few query shapes the tool issues:
// SELECT [DISTINCT] cols FROM table [WHERE col = ?] [ORDER BY col].
class FakeView : public installer::View {
 public:
  FakeView(const FakePackage& package, std::string_view sql, Log log) : log_(std::move(log)) {
    log_->push_back("OpenView " + std::string(sql));
    std::string q(sql);
    q.erase(std::remove(q.begin(), q.end(), '`'), q.end());
    static const std::regex shape(
        R"( *SELECT (DISTINCT )?(.+?) FROM (\S+)(?: WHERE (\S+) = \?)?(?: ORDER BY (\S+))? *)");
    std::smatch m;
    if (!std::regex_match(q, m, shape)) throw installer::Error("fake: unsupported query " + q);
    distinct_ = m[1].matched;
    const auto it = package.tables.find(m[3].str());
    if (it == package.tables.end()) throw installer::Error("fake: no table " + m[3].str());
    table_ = &it->second;
    std::istringstream columns(m[2].str());
    for (std::string c; std::getline(columns, c, ',');) {
      c.erase(std::remove(c.begin(), c.end(), ' '), c.end());
      index_.push_back(Column(c));
    }
    if (m[4].matched) where_ = Column(m[4].str());
    if (m[5].matched) order_ = Column(m[5].str());
    if (!where_) Select("");
  }
  void Execute(const installer::Record* params) override {
    next_ = 0;
    if (!where_) return;
    if (!params) throw installer::Error("fake: the query needs a parameter");
    const std::string value = params->StringData(1);
    log_->push_back("Execute ? = " + value);
    Select(value);
  }
  std::shared_ptr<installer::Record> Fetch() override {
    if (next_ >= rows_.size()) return nullptr;
    return std::make_shared<FakeRecord>(rows_[next_++]);
  }
  void Modify(int mode, installer::Record& record) override {
    std::string fields;
    for (int i = 1;; ++i) {
      try {
        fields += (i > 1 ? "|" : "") + record.StringData(i);
      } catch (const installer::Error&) {
        break;
      }
    }
    log_->push_back("Modify " + std::to_string(mode) + " " + fields);
  }
  void Close() override { log_->push_back("Close view"); }

 private:
  std::size_t Column(const std::string& name) const {
    const auto pos = std::find(table_->columns.begin(), table_->columns.end(), name);
    if (pos == table_->columns.end()) throw installer::Error("fake: no column " + name);
    return static_cast<std::size_t>(pos - table_->columns.begin());
  }
  // The rows that pass the WHERE clause (`value` for its literal or parameter), ordered,
  // projected and made distinct.
  void Select(const std::string& value) {
    std::vector<std::vector<std::string>> source;
    for (const auto& row : table_->rows)
      if (!where_ || row[*where_] == value) source.push_back(row);
    if (order_)
      std::stable_sort(source.begin(), source.end(),
                       [&](const auto& a, const auto& b) { return Less(a[*order_], b[*order_]); });
    rows_.clear();
    for (const auto& row : source) {
      std::vector<std::string> out;
      for (auto i : index_) out.push_back(i < row.size() ? row[i] : "");
      if (!distinct_ || std::find(rows_.begin(), rows_.end(), out) == rows_.end()) rows_.push_back(out);
    }
  }

  Log log_;
  const FakeTable* table_ = nullptr;
  std::vector<std::size_t> index_;
  std::optional<std::size_t> where_, order_;
  bool distinct_ = false;
  std::vector<std::vector<std::string>> rows_;
  std::size_t next_ = 0;
};

class FakeDatabase : public installer::Database {
 public:
  FakeDatabase(FakePackage package, std::string name, Log log)
      : package_(std::move(package)), name_(std::move(name)), log_(std::move(log)) {
    FakeTable tables{{"Name"}, {}, true};
    for (const auto& n : package_.catalogue) tables.rows.push_back({n});
    package_.tables["_Tables"] = tables;
  }
  ~FakeDatabase() override { log_->push_back("release Database " + name_); }
  std::shared_ptr<installer::View> OpenView(std::string_view sql) override {
    return std::make_shared<FakeView>(package_, sql, log_);
  }
  std::int32_t TablePersistent(std::string_view table) override {
    auto it = package_.tables.find(std::string(table));
    if (it == package_.tables.end()) return installer::kTableMissing;
    return it->second.persistent ? installer::kTablePersistent : installer::kTableTemporary;
  }
  void Export(std::string_view t, std::string_view, std::string_view) override { log_->push_back("Export " + std::string(t)); }
  void Import(std::string_view, std::string_view f) override { log_->push_back("Import " + std::string(f)); }
  void Commit() override { log_->push_back("Commit " + name_); }
  void GenerateTransform(installer::Database&, std::string_view f) override {
    log_->push_back("GenerateTransform " + std::string(f));
    std::ofstream(std::string(f), std::ios::binary) << "fake transform";
  }
  void ApplyTransform(std::string_view f, int e) override {
    log_->push_back("ApplyTransform " + std::to_string(e));
  }
  const FakePackage& Package() const { return package_; }
  void CreateTransformSummaryInfo(installer::Database&, std::string_view f, int e, int v) override {
    log_->push_back("CreateTransformSummaryInfo " + std::string(f) + " " + std::to_string(e) + " " + std::to_string(v));
  }

 private:
  FakePackage package_;
  std::string name_;
  Log log_;
};

class FakeSession : public installer::Session {
 public:
  FakeSession(FakePackage package, Log log) : package_(std::move(package)), log_(std::move(log)) {}
  ~FakeSession() override { log_->push_back("release Session"); }
  std::string Property(std::string_view name) override {
    auto it = package_.properties.find(std::string(name));
    return it == package_.properties.end() ? "" : it->second;
  }
  std::shared_ptr<installer::Database> Database() override {
    return std::make_shared<FakeDatabase>(package_, "session", log_);
  }
  std::int32_t EvaluateCondition(std::string_view c) override {
    log_->push_back("EvaluateCondition " + std::string(c));
    auto it = package_.conditions.find(std::string(c));
    return it == package_.conditions.end() ? (c.empty() ? 2 : 1) : it->second;
  }
  std::int32_t DoAction(std::string_view a) override {
    log_->push_back("DoAction " + std::string(a));
    for (const auto& [name, value] : package_.actionSetsProperties[std::string(a)]) package_.properties[name] = value;
    for (const auto& [name, state] : package_.actionSetsFeatures[std::string(a)]) package_.featureStates[name] = state;
    auto it = package_.actionStatus.find(std::string(a));
    return it == package_.actionStatus.end() ? 1 : it->second;
  }
  std::int32_t FeatureRequestState(std::string_view f) override {
    auto it = package_.featureStates.find(std::string(f));
    if (it == package_.featureStates.end()) throw installer::Error("unknown feature " + std::string(f));
    return it->second;
  }

 private:
  FakePackage package_;
  Log log_;
};

}  // namespace

FakeInstaller::~FakeInstaller() { log_->push_back("release Installer"); }

void FakeInstaller::UILevel(int level) { log_->push_back("UILevel " + std::to_string(level)); }

std::shared_ptr<installer::Session> FakeInstaller::OpenPackage(std::string_view path, int options) {
  log_->push_back("OpenPackage [" + std::string(path) + "] " + std::to_string(options));
  auto it = packages_.find(std::string(path));
  if (it == packages_.end()) throw installer::Error("This installation package could not be opened.", 1619);
  return std::make_shared<FakeSession>(it->second, log_);
}

std::shared_ptr<installer::Session> FakeInstaller::OpenPackage(installer::Database& database, int options) {
  log_->push_back("OpenPackage database " + std::to_string(options));
  auto* fake = dynamic_cast<FakeDatabase*>(&database);
  if (!fake) throw installer::Error("fake: not a fake database");
  // Its actions answer as the dialogs did, so replaying them reproduces the walk's choices.
  return std::make_shared<FakeSession>(fake->Package(), log_);
}

std::shared_ptr<installer::Record> FakeInstaller::CreateRecord(int fields) {
  return std::make_shared<FakeRecord>(std::vector<std::string>(static_cast<std::size_t>(fields)));
}

std::shared_ptr<installer::Database> FakeInstaller::OpenDatabase(std::string_view path, int mode) {
  log_->push_back("OpenDatabase [" + std::string(path) + "] " + std::to_string(mode));
  auto it = packages_.find(std::string(path));
  if (it == packages_.end()) throw installer::Error("cannot open database " + std::string(path), 1619);
  return std::make_shared<FakeDatabase>(it->second, std::string(path), log_);
}

void RecordingHost::MessageBox(std::string_view text, ui::BoxStyle style, std::string_view title) {
  boxes.push_back({std::string(text), style, std::string(title)});
  log_->push_back("message box " + std::string(title));
}

void RecordingHost::SetProgressRange(float min, float max) {
  log_->push_back("progress range " + std::to_string(static_cast<int>(min)) + ".." + std::to_string(static_cast<int>(max)));
}

void RecordingHost::SetProgressValue(float value) {
  log_->push_back("progress value " + std::to_string(static_cast<int>(value)));
}

FakePackage ReadFakePackage(const std::filesystem::path& file, const std::vector<std::string>& names) {
  std::map<std::string, std::vector<std::string>> sections;
  for (const std::string& name : names)
    for (auto& [table, lines] : tableSections(file, name)) sections[table] = lines;
  FakePackage p;
  for (const auto& [name, lines] : sections) {
    std::vector<std::vector<std::string>> rows;
    for (const std::string& line : lines) rows.push_back(split(line, '\t'));
    if (name == "Session properties") {
      for (const auto& r : rows) p.properties[r.at(0)] = r.at(1);
    } else if (name == "Feature states" || name == "Conditions" || name == "Action results") {
      auto& into = name == "Feature states" ? p.featureStates : name == "Conditions" ? p.conditions : p.actionStatus;
      for (const auto& r : rows) into[r.at(0)] = std::stoi(r.at(1));
    } else if (name == "Action sets") {
      for (const auto& r : rows)
        if (r.size() > 3) p.actionSetsFeatures[r[0]][r[1]] = std::stoi(r[2]);
        else p.actionSetsProperties[r.at(0)][r.at(1)] = r.at(2);
    } else {
      const bool temporary = name.ends_with(" (temporary)");
      const std::string table = temporary ? name.substr(0, name.find(' ')) : name;
      for (auto& row : rows) row.resize(rows.at(0).size());  // a missing last cell is empty
      p.tables[table] = FakeTable{rows.at(0), {rows.begin() + 1, rows.end()}, !temporary};
      p.catalogue.push_back(table);
    }
  }
  return p;
}

ToolRun::ToolRun(const FakePackage& package, const std::string& saveAnswer, const std::vector<std::string>& args) {
  host.saveAnswer = saveAnswer.empty() ? saveAnswer : (temp / saveAnswer).string();
  const auto file = temp / "dump.txt";
  setenv("TMPDIR", temp.c_str(), 1);
  scratch = transform::GetTempFolder();
  std::map<std::string, FakePackage> packages{{"p.msi", package}, {scratch + "temp.msi", package}};
  std::vector<std::string> argv{"--dump-tables", file.string()};
  argv.insert(argv.end(), args.begin(), args.end());
  status = driver::Main(driver::ParseCommandLine(argv),
                        {host, [&] { return std::make_shared<FakeInstaller>(log, packages); }, err, false, &out});
  unsetenv("TMPDIR");
  dump = ReadText(file);
}

std::string ToolRun::Section(const std::string& name) const {
  auto start = dump.find("# " + name + "\n");
  if (start == std::string::npos) return "<missing>";
  start += name.size() + 3;
  return dump.substr(start, dump.find("# ", start) - start);
}

std::vector<std::string> ToolRun::Matching(const std::string& prefix) const {
  std::vector<std::string> out;
  for (const auto& e : *log)
    if (e.rfind(prefix, 0) == 0) out.push_back(e);
  return out;
}

std::ptrdiff_t ToolRun::Position(const std::string& entry) const {
  const auto it = std::find(log->begin(), log->end(), entry);
  return it == log->end() ? -1 : it - log->begin();
}

}  // namespace fennick::test
