#include "src/installer/engine_database.h"

#include "engine/idt/idt.h"
#include "engine/mst/transform.h"
#include "engine/sql/view.h"

namespace fennick::installer {
namespace {

// Error numbers of the service, for callers that look at them.
constexpr int kErrorFunctionFailed = 1627;
constexpr int kErrorBadQuerySyntax = 1615;
constexpr int kErrorInvalidTable = 1628;
constexpr int kErrorInstallPackageInvalid = 1620;
constexpr int kErrorInstallTransformFailure = 1624;

class EngineRecord final : public Record {
 public:
  explicit EngineRecord(msi::Record record) : record_(std::move(record)) {}
  std::string StringData(int field) const override {
    return Translate([&] { return record_.stringData(static_cast<std::size_t>(field)); }, kErrorFunctionFailed);
  }
  void StringData(int field, std::string_view value) override {
    Translate([&] { record_.setStringData(static_cast<std::size_t>(field), value); }, kErrorFunctionFailed);
  }
  msi::Record& Inner() { return record_; }
  const msi::Record& Inner() const { return record_; }

 private:
  msi::Record record_;
};

class EngineView final : public View {
 public:
  EngineView(std::shared_ptr<msi::Database> db, std::unique_ptr<msi::View> view)
      : db_(std::move(db)), view_(std::move(view)) {}
  void Execute(const Record* params) override {
    const auto* ours = dynamic_cast<const EngineRecord*>(params);
    if (params && !ours) throw Error("Execute: the record does not come from this installer", kErrorFunctionFailed);
    Translate([&] { view_->execute(ours ? &ours->Inner() : nullptr); }, kErrorFunctionFailed);
  }
  std::shared_ptr<Record> Fetch() override {
    return Translate([&]() -> std::shared_ptr<Record> {
      auto record = view_->fetch();
      if (!record) return nullptr;
      return std::make_shared<EngineRecord>(std::move(*record));
    }, kErrorFunctionFailed);
  }
  void Modify(int mode, Record& record) override {
    auto* ours = dynamic_cast<EngineRecord*>(&record);
    if (!ours) throw Error("Modify: the record does not come from this installer", kErrorFunctionFailed);
    Translate([&] { view_->modify(static_cast<msi::ModifyMode>(mode), ours->Inner()); }, kErrorFunctionFailed);
  }
  void Close() override { Translate([&] { view_->close(); }, kErrorFunctionFailed); }

 private:
  std::shared_ptr<msi::Database> db_;  // the view reads it: keep it alive
  std::unique_ptr<msi::View> view_;
};

class EngineDatabase final : public Database {
 public:
  explicit EngineDatabase(std::shared_ptr<msi::Database> db, std::string sharedPath = {})
      : db_(std::move(db)), sharedPath_(std::move(sharedPath)) {}
  std::shared_ptr<View> OpenView(std::string_view sql) override {
    return Translate([&] {
      Detach();
      return std::make_shared<EngineView>(db_, msi::View::open(*db_, sql));
    }, kErrorBadQuerySyntax);
  }
  std::int32_t TablePersistent(std::string_view table) override {
    return Translate([&]() -> std::int32_t {
      if (!db_->hasTable(table)) return kTableMissing;
      return db_->isPersistent(table) ? kTablePersistent : kTableTemporary;
    }, kErrorInvalidTable);
  }
  void Export(std::string_view table, std::string_view folder, std::string_view file) override {
    Translate([&] { msi::idt::exportTable(*db_, table, std::string(folder), file); }, kErrorFunctionFailed);
  }
  void Import(std::string_view folder, std::string_view file) override {
    Translate([&] {
      Detach();
      msi::idt::importTable(*db_, std::string(folder), file);
    }, kErrorFunctionFailed);
  }
  void Commit() override { Translate([&] { db_->commit(); }, kErrorFunctionFailed); }
  void ShareStrings(Database& source) override {
    if (auto* other = dynamic_cast<EngineDatabase*>(&source)) db_->shareStrings(*other->db_);
  }
  void GenerateTransform(Database& reference, std::string_view transformFile) override {
    const std::string path(transformFile.substr(0, transformFile.find('\0')));
    const bool written =
        Translate([&] { return msi::mst::generateTransform(*db_, Unwrap(reference), path); }, kErrorFunctionFailed);
    // Identical databases make no transform; saying so beats reporting a file that is not there.
    if (!written)
      throw Error(path + ": no transform written: the answers given leave the package unchanged", kErrorNoData);
  }
  void CreateTransformSummaryInfo(Database& reference, std::string_view transformFile, int errorConditions,
                                  int validation) override {
    const std::string path(transformFile.substr(0, transformFile.find('\0')));
    Translate([&] { msi::mst::createTransformSummaryInfo(*db_, Unwrap(reference), path, errorConditions, validation); },
              kErrorInstallPackageInvalid);
  }
  void ApplyTransform(std::string_view transformFile, int errorConditions) override {
    const std::string path(transformFile.substr(0, transformFile.find('\0')));
    Translate([&] {
      Detach();
      msi::mst::applyTransform(*db_, path, errorConditions);
    }, kErrorInstallTransformFailure);
  }
  msi::Database& Inner() { return *db_; }
  std::shared_ptr<msi::Database> Shared() {
    Detach();  // whoever takes the engine database may change it
    return db_;
  }

 private:
  void Detach() {
    if (sharedPath_.empty()) return;
    // A copy of its own that reads the strings the shared one read; the file again when the
    // shared one cannot give one.
    std::shared_ptr<msi::Database> own = db_->fork();
    db_ = own ? std::move(own) : msi::Database::open(sharedPath_, msi::OpenMode::ReadOnly);
    sharedPath_.clear();
  }

  std::shared_ptr<msi::Database> db_;
  std::string sharedPath_;  // not empty while db_ is shared with others
};

}  // namespace

std::shared_ptr<Database> WrapDatabase(std::shared_ptr<msi::Database> db) {
  return std::make_shared<EngineDatabase>(std::move(db));
}

std::shared_ptr<Database> WrapSharedDatabase(std::shared_ptr<msi::Database> db, std::string path) {
  return std::make_shared<EngineDatabase>(std::move(db), std::move(path));
}

std::shared_ptr<msi::Database> UnwrapShared(Database& db) {
  auto* ours = dynamic_cast<EngineDatabase*>(&db);
  if (!ours) throw Error("the database does not come from this installer", kErrorFunctionFailed);
  return ours->Shared();
}

std::shared_ptr<Record> NewRecord(int fields) {
  if (fields < 0 || fields > 65535) throw Error("a record of " + std::to_string(fields) + " fields", 87);
  return std::make_shared<EngineRecord>(msi::Record(static_cast<std::size_t>(fields)));
}

msi::Database& Unwrap(Database& db) {
  auto* ours = dynamic_cast<EngineDatabase*>(&db);
  if (!ours) throw Error("the database does not come from this installer", kErrorFunctionFailed);
  return ours->Inner();
}

}  // namespace fennick::installer
