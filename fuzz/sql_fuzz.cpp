// Fuzz target: arbitrary bytes as a query, parsed and then run against a small in-memory
// database (never committed): executed with a three-field parameter record, every row
// fetched, and the first row written back with each Modify mode. Errors are expected and
// must name the query; crashes, hangs and huge allocations are failures.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "engine/db/database.h"
#include "engine/sql/parser.h"
#include "engine/sql/view.h"

namespace {

constexpr std::size_t kMaxQuery = 4096;

std::unique_ptr<msi::Database> smallDatabase() {
  auto db = msi::Database::open("/nonexistent/fuzz-sql.msi", msi::OpenMode::Create);
  auto column = [](const char* name, const char* definition, bool key) {
    msi::Column c = msi::Column::fromDefinition(name, definition);
    c.key = key;
    return c;
  };
  db->createTable({"Dialog", {column("Dialog", "s72", true), column("Title", "L64", false),
                              column("Width", "i2", false)}});
  db->createTable({"Control", {column("Dialog_", "s72", true), column("Control", "s50", true),
                               column("Type", "s20", false), column("X", "I4", false),
                               column("Data", "V0", false)}});
  auto& dialog = db->table("Dialog");
  dialog.insert({"Welcome", "Welcome", 370});
  dialog.insert({"Exit", msi::Value(), 370});
  auto& control = db->table("Control");
  control.insert({"Welcome", "Next", "PushButton", 236, msi::Value()});
  control.insert({"Welcome", "Title", "Text", msi::Value(), msi::Blob(msi::Bytes{1, 2})});
  control.insert({"Exit", "Finish", "PushButton", -1, msi::Value()});
  return db;
}

void checkMessage(const msi::Error& e) {
  // Every failure after parsing names the query it belongs to.
  if (std::string_view(e.what()).substr(0, 7) != "query `") std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > kMaxQuery) return 0;
  const std::string_view sql(reinterpret_cast<const char*>(data), size);
  try {
    msi::sql::parse(sql);
  } catch (const msi::Error& e) {
    checkMessage(e);
    return 0;  // the views would fail the same way
  }
  const auto db = smallDatabase();
  try {
    auto view = msi::View::open(*db, sql);
    msi::Record params(3);
    params.setStringData(1, "Welcome");
    params.setField(2, msi::Value(236));
    params.setStringData(3, "x");
    view->execute(&params);
    std::optional<msi::Record> first;
    while (auto r = view->fetch())
      if (!first) first = std::move(r);
    if (!first) return 0;
    for (int mode = -1; mode <= 11; ++mode) {
      msi::Record copy = *first;
      try {
        view->modify(static_cast<msi::ModifyMode>(mode), copy);
      } catch (const msi::Error& e) {
        checkMessage(e);
      }
    }
    view->close();
    view->execute(&params);
    while (view->fetch()) {
    }
  } catch (const msi::Error& e) {
    checkMessage(e);
  }
  return 0;
}
