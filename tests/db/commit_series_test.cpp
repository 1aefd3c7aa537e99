// A series of commits, each after one view modify, is read back by msitools after every commit
// exactly as written so far: a commit must rewrite the tables it changed and leave no stale
// rows, strings or streams behind.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "engine/db/database.h"
#include "engine/sql/view.h"
#include "tests/db/db_builders.h"
#include "tests/db/msitools.h"
#include "tests/support/fixtures.h"

namespace {

using namespace fennick::test;
namespace fs = std::filesystem;

constexpr const char* kSelectAll = "SELECT `Name`, `Count`, `Note` FROM `Item`";

std::string rowText(const std::string& name, const std::string& count, const std::string& note) {
  return name + "\t" + count + "\t" + note;
}

std::set<std::string> msiinfoRowSet(const fs::path& pkg) {
  std::set<std::string> out;
  for (const auto& cells : msiinfoRows(pkg, "Item")) {
    if (cells.size() == 1 && cells[0].empty()) continue;  // trailing empty line
    std::string joined;
    for (std::size_t i = 0; i < cells.size(); ++i) joined += (i ? "\t" : "") + cells[i];
    out.insert(joined);
  }
  return out;
}

// One fetched row of `Item` by name, through a view that stays open for the modify.
struct Fetched {
  std::unique_ptr<msi::View> view;
  msi::Record record;
};

Fetched fetchByName(msi::Database& db, const std::string& name) {
  Fetched f{msi::View::open(db, std::string(kSelectAll) + " WHERE `Name` = '" + name + "'"), {}};
  f.view->execute();
  auto rec = f.view->fetch();
  if (!rec) throw std::runtime_error("table `Item`: no row `" + name + "`");
  f.record = std::move(*rec);
  return f;
}

void modifyNew(msi::Database& db, msi::ModifyMode mode, const msi::Value& name, const msi::Value& count,
               const msi::Value& note) {
  auto view = msi::View::open(db, kSelectAll);
  view->execute();
  msi::Record rec(3);
  rec.setField(1, name);
  rec.setField(2, count);
  rec.setField(3, note);
  view->modify(mode, rec);
}

void modifyExisting(msi::Database& db, msi::ModifyMode mode, const std::string& name, int field,
                    const msi::Value& value) {
  Fetched f = fetchByName(db, name);
  if (field > 0) f.record.setField(static_cast<std::size_t>(field), value);
  f.view->modify(mode, f.record);
}

struct Step {
  std::string what;
  std::function<void(msi::Database&)> apply;
  std::function<void(std::set<std::string>&)> expect;
};

TEST(CommitSeries, MsitoolsSeesEveryCommitExactly) {
  if (run("command -v msiinfo").status != 0) GTEST_SKIP() << "msiinfo is not installed";
  const fs::path pkg = scratchDir() / "commit_series.msi";
  fs::remove(pkg);
  auto db = msi::Database::open(pkg, msi::OpenMode::Create);
  db->createTable({"Item", {col("Name", "s32", true), col("Count", "I4"), col("Note", "S64")}});
  db->commit();
  EXPECT_TRUE(msiinfoRowSet(pkg).empty());

  using M = msi::ModifyMode;
  const msi::Value null;
  const std::vector<Step> steps = {
      {"insert alpha", [&](auto& d) { modifyNew(d, M::Insert, "alpha", 1, "first"); },
       [](auto& s) { s.insert(rowText("alpha", "1", "first")); }},
      {"insert beta with nulls", [&](auto& d) { modifyNew(d, M::Insert, "beta", null, null); },
       [](auto& s) { s.insert(rowText("beta", "", "")); }},
      {"insert gamma", [&](auto& d) { modifyNew(d, M::Insert, "gamma", 3, "third"); },
       [](auto& s) { s.insert(rowText("gamma", "3", "third")); }},
      {"update beta count", [&](auto& d) { modifyExisting(d, M::Update, "beta", 2, 20); },
       [](auto& s) { s.erase(rowText("beta", "", "")), s.insert(rowText("beta", "20", "")); }},
      {"assign new delta", [&](auto& d) { modifyNew(d, M::Assign, "delta", 4, "fourth"); },
       [](auto& s) { s.insert(rowText("delta", "4", "fourth")); }},
      {"assign over alpha", [&](auto& d) { modifyNew(d, M::Assign, "alpha", 100, "reassigned"); },
       [](auto& s) { s.erase(rowText("alpha", "1", "first")), s.insert(rowText("alpha", "100", "reassigned")); }},
      {"delete gamma", [&](auto& d) { modifyExisting(d, M::Delete, "gamma", 0, null); },
       [](auto& s) { s.erase(rowText("gamma", "3", "third")); }},
      {"insert negative epsilon", [&](auto& d) { modifyNew(d, M::Insert, "epsilon", -5, "below zero"); },
       [](auto& s) { s.insert(rowText("epsilon", "-5", "below zero")); }},
      {"update epsilon note to null", [&](auto& d) { modifyExisting(d, M::Update, "epsilon", 3, null); },
       [](auto& s) { s.erase(rowText("epsilon", "-5", "below zero")), s.insert(rowText("epsilon", "-5", "")); }},
      {"delete alpha", [&](auto& d) { modifyExisting(d, M::Delete, "alpha", 0, null); },
       [](auto& s) { s.erase(rowText("alpha", "100", "reassigned")); }},
      {"insert gamma again, new values", [&](auto& d) { modifyNew(d, M::Insert, "gamma", 33, "back"); },
       [](auto& s) { s.insert(rowText("gamma", "33", "back")); }},
  };

  std::set<std::string> expected;
  for (const Step& step : steps) {
    SCOPED_TRACE(step.what);
    step.apply(*db);
    db->commit();
    step.expect(expected);
    EXPECT_EQ(msiinfoRowSet(pkg), expected);
  }

  // The last state also survives our own reopen.
  db.reset();
  auto again = msi::Database::open(pkg, msi::OpenMode::ReadOnly);
  EXPECT_EQ(again->table("Item").size(), expected.size());
}

}  // namespace
