// A test double of the installer service: packages are described in the test, and every
// call and release is written to a shared log so tests can check order.
#pragma once

#include <filesystem>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "src/installer/installer.h"
#include "src/ui/host.h"
#include "tests/support/fixtures.h"

namespace fennick::test {

using Log = std::shared_ptr<std::vector<std::string>>;

// Rows of a table as text; an empty text is a null cell.
struct FakeTable {
  std::vector<std::string> columns;
  std::vector<std::vector<std::string>> rows;
  bool persistent = true;
};

struct FakePackage {
  std::map<std::string, FakeTable> tables;       // name -> rows; catalogue order = _Tables rows
  std::vector<std::string> catalogue;            // _Tables order
  std::map<std::string, std::string> properties;  // session properties
  std::map<std::string, int> featureStates;
  std::map<std::string, int> actionStatus;        // DoAction results (default 1)
  std::map<std::string, int> conditions;          // EvaluateCondition results (default 1)
  // What running an action does to the session, as the user's answers in a dialog would.
  std::map<std::string, std::map<std::string, std::string>> actionSetsProperties;
  std::map<std::string, std::map<std::string, int>> actionSetsFeatures;
};

// The package of sections `names` of `file`, in the form tableSections reads (a later section
// replaces the tables it names): a table's first row names its columns, and one whose name ends
// in " (temporary)" is not persistent; every table is in the catalogue. The session's side comes
// from pseudo-tables: "Session properties" (name, value), "Feature states" (feature, state),
// "Conditions" (condition, result), "Action results" (action, status) and "Action sets" (action,
// property or feature, its value or state, and "feature" for a feature).
FakePackage ReadFakePackage(const std::filesystem::path& file, const std::vector<std::string>& names);

class FakeInstaller : public installer::Installer {
 public:
  FakeInstaller(Log log, std::map<std::string, FakePackage> packages)
      : log_(std::move(log)), packages_(std::move(packages)) {}
  ~FakeInstaller() override;
  void UILevel(int level) override;
  std::shared_ptr<installer::Session> OpenPackage(std::string_view path, int options) override;
  std::shared_ptr<installer::Session> OpenPackage(installer::Database& database, int options) override;
  std::shared_ptr<installer::Database> OpenDatabase(std::string_view path, int mode) override;
  std::shared_ptr<installer::Record> CreateRecord(int fields) override;

 private:
  Log log_;
  std::map<std::string, FakePackage> packages_;
};

// A host that records what a person would have seen.
class RecordingHost : public ui::Host {
 public:
  explicit RecordingHost(Log log) : log_(std::move(log)) {}
  void MessageBox(std::string_view text, ui::BoxStyle style, std::string_view title) override;
  void Pump() override { log_->push_back("pump"); }
  void LoadTablesWindow() override { log_->push_back("load tables window"); }
  void UnloadTablesWindow() override { log_->push_back("unload tables window"); }
  void ShowProgress() override { log_->push_back("show progress"); }
  void SetProgressRange(float min, float max) override;
  void SetProgressValue(float value) override;
  void RefreshProgress() override {}
  void UnloadProgress() override { log_->push_back("unload progress"); }
  std::string PromptSaveTransform() override {
    log_->push_back("save prompt");
    return saveAnswer;
  }
  std::string saveAnswer;  // "" = cancelled

  struct Box {
    std::string text;
    ui::BoxStyle style;
    std::string title;
    bool operator==(const Box&) const = default;
    friend std::ostream& operator<<(std::ostream& out, const Box& b) {
      return out << b.title << " (style " << static_cast<int>(b.style) << "): " << b.text;
    }
  };
  std::vector<Box> boxes;

 private:
  Log log_;
};

// The tool run with a fake installer on `package` (opened as p.msi), with the working tables
// dumped: `args` is the command line after the dump option; a recording host answers the save
// prompt with `saveAnswer`, a file name in the run's temporary folder ("" cancels).
struct ToolRun {
  Log log = std::make_shared<std::vector<std::string>>();
  RecordingHost host{log};
  std::ostringstream err, out;
  std::filesystem::path temp = scratchDir();  // TMPDIR of the run
  std::string scratch;                        // the run's scratch folder in it
  int status = -1;
  std::string dump;

  explicit ToolRun(const FakePackage& package, const std::string& saveAnswer = "",
                   const std::vector<std::string>& args = {"p.msi"});
  std::string Section(const std::string& name) const;               // a dumped table; "<missing>" when absent
  std::vector<std::string> Matching(const std::string& prefix) const;  // the log entries that start so
  std::ptrdiff_t Position(const std::string& entry) const;          // in the log; -1 when absent
};

}  // namespace fennick::test
