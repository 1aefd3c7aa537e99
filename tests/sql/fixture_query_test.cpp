// The queries an installer's user interface runs, against the real packages, compared with
// what msitools exports for the same tables (filtered, joined and ordered by hand here, as
// msitools runs no SELECT).
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <optional>

#include "engine/db/database.h"
#include "tests/support/msitools.h"
#include "tests/sql/query_helpers.h"
#include "tests/support/fixtures.h"

namespace fennick::test {
namespace {

// The rows msitools exports, or nullopt when a value holds a line break (rows end in CR LF
// and values are written raw, so such a table cannot be split reliably).
std::optional<TextRows> exportedRows(const std::filesystem::path& pkg, const std::string& table, std::size_t columns) {
  TextRows rows = msiinfoRows(pkg, table);
  const auto split = [&](const auto& row) { return row.size() != columns; };
  if (std::any_of(rows.begin(), rows.end(), split)) return std::nullopt;
  return rows;
}

// Stable sort by an integer column, empty (null) first, as ORDER BY does.
void sortByInteger(TextRows& rows, std::size_t column) {
  std::stable_sort(rows.begin(), rows.end(), [&](const auto& a, const auto& b) {
    const bool an = a[column].empty();
    const bool bn = b[column].empty();
    if (an || bn) return an && !bn;
    return std::stol(a[column]) < std::stol(b[column]);
  });
}

struct Package {
  std::filesystem::path path;
  std::unique_ptr<msi::Database> db;
  std::size_t width(const char* table) const { return db->table(table).schema().columns.size(); }
  std::size_t column(const char* table, const char* name) const { return *db->table(table).schema().indexOf(name); }
};

std::vector<Package> packages() {
  std::vector<Package> out;
  for (const auto& path : fixturePackages())
    out.push_back(Package{path, msi::Database::open(path, msi::OpenMode::ReadOnly)});
  return out;
}

TEST(SqlFixtures, SelectStarReturnsEveryTableAsMsitoolsExportsIt) {
  FENNICK_REQUIRE_FIXTURES();
  for (const auto& pkg : packages()) {
    EXPECT_EQ(pkg.db->tableNames(), msiinfoTables(pkg.path)) << pkg.path;
    for (const auto& name : pkg.db->tableNames()) {
      SCOPED_TRACE(pkg.path.string() + " " + name);
      auto view = msi::View::open(*pkg.db, "SELECT * FROM `" + name + "`");
      view->execute();
      const msi::Table& table = pkg.db->table(name);
      const std::size_t keys = table.schema().keyCount();
      // Every stored row is found again by its key.
      for (std::size_t r = 0; keys > 0 && r < table.size(); ++r) EXPECT_EQ(table.find(table.row(r)), r);
      std::string ours;
      while (auto r = view->fetch()) {
        for (std::size_t i = 1; i <= r->fieldCount(); ++i) {
          if (i > 1) ours += '\t';
          if (r->field(i).isBlob()) {
            // msitools shows a binary cell as the name of its stream: table and key.
            ours += name;
            for (std::size_t k = 1; k <= keys; ++k) ours += "." + r->stringData(k);
          } else {
            ours += r->stringData(i);
          }
        }
        ours += "\r\n";
      }
      const std::string out = msiinfo("export", pkg.path, name);
      std::size_t body = 0;
      for (int i = 0; i < 3 && body != std::string::npos; ++i) {
        body = out.find('\n', body);
        if (body != std::string::npos) ++body;
      }
      ASSERT_NE(body, std::string::npos);
      EXPECT_EQ(ours, out.substr(body));
    }
  }
}

TEST(SqlFixtures, ControlDialogJoinMatchesAHandJoin) {
  FENNICK_REQUIRE_FIXTURES();
  int checked = 0;
  for (const auto& pkg : packages()) {
    if (!pkg.db->hasTable("Control") || !pkg.db->hasTable("Dialog")) continue;
    SCOPED_TRACE(pkg.path.string());
    const auto controls = exportedRows(pkg.path, "Control", pkg.width("Control"));
    const auto dialogs = exportedRows(pkg.path, "Dialog", pkg.width("Dialog"));
    if (!controls || !dialogs) continue;  // a value with a line break
    const std::size_t type = pkg.column("Control", "Type");
    const std::size_t title = pkg.column("Dialog", "Title");
    // The last table of the FROM list varies slowest.
    TextRows expected;
    for (const auto& d : *dialogs)
      for (const auto& c : *controls)
        if (c[0] == d[0]) expected.push_back({d[0], c[1], c[type], d[title]});
    EXPECT_EQ(queryRows(*pkg.db,
                        "SELECT `Dialog`.`Dialog`, `Control`.`Control`, `Control`.`Type`, `Title` "
                        "FROM `Control`, `Dialog` WHERE `Control`.`Dialog_` = `Dialog`.`Dialog`"),
              expected);
    // The controls of each dialog, as a dialog is built.
    for (const auto& d : *dialogs) {
      TextRows mine;
      for (const auto& c : *controls)
        if (c[0] == d[0]) mine.push_back({c[1], c[type]});
      const msi::Record key = recordOf({msi::Value(d[0])});
      EXPECT_EQ(queryRows(*pkg.db, "SELECT `Control`, `Type` FROM `Control` WHERE `Dialog_` = ?", &key), mine);
    }
    ++checked;
  }
  EXPECT_GT(checked, 2);
}

TEST(SqlFixtures, ControlEventsOfEachControlInOrder) {
  FENNICK_REQUIRE_FIXTURES();
  int checked = 0;
  for (const auto& pkg : packages()) {
    if (!pkg.db->hasTable("ControlEvent")) continue;
    SCOPED_TRACE(pkg.path.string());
    const auto events = exportedRows(pkg.path, "ControlEvent", pkg.width("ControlEvent"));
    ASSERT_TRUE(events);
    std::map<std::pair<std::string, std::string>, TextRows> byControl;
    for (const auto& e : *events) byControl[{e[0], e[1]}].push_back({e[2], e[3], e[4], e[5]});
    auto view = msi::View::open(*pkg.db,
                                "SELECT `Event`,`Argument`,`Condition`,`Ordering` FROM `ControlEvent` "
                                "WHERE `Dialog_` = ? AND `Control_` = ? ORDER BY `Ordering`");
    for (auto& [key, expected] : byControl) {
      sortByInteger(expected, 3);
      const msi::Record params = recordOf({msi::Value(key.first), msi::Value(key.second)});
      view->execute(&params);
      TextRows got;
      while (auto r = view->fetch())
        got.push_back({r->stringData(1), r->stringData(2), r->stringData(3), r->stringData(4)});
      EXPECT_EQ(got, expected) << key.first << "/" << key.second;
      ++checked;
    }
  }
  EXPECT_GT(checked, 20);
}

}  // namespace
}  // namespace fennick::test
