// The installer service as the tool sees it: the objects and operations the tool calls,
// held by shared_ptr (released when the last holder lets go). A failing operation throws
// installer::Error with the service's description and number.
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

namespace fennick::installer {

class Error : public std::runtime_error {
 public:
  explicit Error(std::string description, int number = 0)
      : std::runtime_error(description), description_(std::move(description)), number_(number) {}
  const std::string& Description() const { return description_; }
  int Number() const { return number_; }

 private:
  std::string description_;
  int number_;
};

// Constants of the service.
inline constexpr int kErrorNoData = 232;  // e.g. a transform of two identical databases
inline constexpr int kUILevelNone = 2;
inline constexpr int kUILevelFull = 5;
inline constexpr int kOpenReadOnly = 0;
inline constexpr int kOpenCreate = 3;

enum ConditionResult : std::int32_t { kConditionFalse = 0, kConditionTrue = 1, kConditionNone = 2, kConditionError = 3 };
enum ActionStatus : std::int32_t {
  kActionNoAction = 0, kActionSuccess = 1, kActionUserExit = 2, kActionFailure = 3,
  kActionSuspend = 4, kActionFinished = 5, kActionWrongState = 6, kActionBadActionData = 7,
};
enum RequestState : std::int32_t {
  kStateNoAction = -1, kStateAdvertised = 1, kStateAbsent = 2, kStateLocal = 3, kStateSource = 4,
};
enum ModifyMode : std::int32_t { kModifyUpdate = 2, kModifyAssign = 3, kModifyDelete = 6 };
enum Persistence : std::int32_t { kTableTemporary = 0, kTablePersistent = 1, kTableMissing = 2, kTableError = 3 };

class Record {
 public:
  virtual ~Record() = default;
  virtual std::string StringData(int field) const = 0;
  virtual void StringData(int field, std::string_view value) = 0;
};

class View {
 public:
  virtual ~View() = default;
  // `params` fills the query's `?` markers in order; nullptr when it has none.
  virtual void Execute(const Record* params = nullptr) = 0;
  virtual std::shared_ptr<Record> Fetch() = 0;  // nullptr after the last row
  virtual void Modify(int mode, Record& record) = 0;
  virtual void Close() = 0;
};

class Database {
 public:
  virtual ~Database() = default;
  virtual std::shared_ptr<View> OpenView(std::string_view sql) = 0;
  virtual std::int32_t TablePersistent(std::string_view table) = 0;
  virtual void Export(std::string_view table, std::string_view folder, std::string_view file) = 0;
  virtual void Import(std::string_view folder, std::string_view file) = 0;
  virtual void Commit() = 0;
  virtual void GenerateTransform(Database& reference, std::string_view transformFile) = 0;
  virtual void CreateTransformSummaryInfo(Database& reference, std::string_view transformFile,
                                          int errorConditions, int validation) = 0;
  // Applies a transform to this database (in memory for a read-only one).
  virtual void ApplyTransform(std::string_view transformFile, int errorConditions) = 0;
  // A hint for a new database about to receive copies of `source`'s tables: it may read the
  // strings `source` holds rather than keep copies of its own. Changes nothing it holds.
  virtual void ShareStrings(Database& source) {}
};

class Session {
 public:
  virtual ~Session() = default;
  virtual std::string Property(std::string_view name) = 0;  // "" when unset
  virtual std::shared_ptr<installer::Database> Database() = 0;
  virtual std::int32_t EvaluateCondition(std::string_view condition) = 0;
  virtual std::int32_t DoAction(std::string_view action) = 0;
  virtual std::int32_t FeatureRequestState(std::string_view feature) = 0;
};

class Installer {
 public:
  virtual ~Installer() = default;
  virtual void UILevel(int level) = 0;
  virtual std::shared_ptr<installer::Session> OpenPackage(std::string_view packagePath, int options) = 0;
  // A session over a database opened already (a package with transforms applied in memory).
  virtual std::shared_ptr<installer::Session> OpenPackage(installer::Database& database, int options) = 0;
  virtual std::shared_ptr<installer::Database> OpenDatabase(std::string_view path, int openMode) = 0;
  virtual std::shared_ptr<installer::Record> CreateRecord(int fields) = 0;
};

// Creates the installer service: the engine backend on this platform.
std::shared_ptr<Installer> CreateInstaller();

}  // namespace fennick::installer
