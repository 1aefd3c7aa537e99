// Damaged and hostile databases, and packages shortened while we read them, give errors
// that name the file and table, never a crash; opening reads only the catalogue, so one
// broken table does not hide the others.
#include <gtest/gtest.h>

#include <functional>

#include "engine/cfb/compound_file.h"
#include "engine/db/database.h"
#include "engine/db/stream_name.h"
#include "tests/support/db_builders.h"
#include "tests/support/error_text.h"
#include "tests/support/fixtures.h"

namespace {

using namespace fennick::test;
namespace fs = std::filesystem;
using msi::Bytes;

void put16(Bytes& b, unsigned v) {
  b.push_back(v & 0xFF);
  b.push_back((v >> 8) & 0xFF);
}

// A database written stream by stream. Strings get ids 1.. in order; `columns` rows are
// (table id, number, name id, type bits).
struct RawDb {
  std::vector<std::string> strings;
  std::vector<unsigned> tables;
  std::vector<std::array<unsigned, 4>> columns;
  std::map<std::string, Bytes> tableStreams;
  std::map<std::u16string, Bytes> extra;  // raw root streams
  bool brokenPool = false;

  std::filesystem::path write(const std::filesystem::path& path) const {
    Bytes pool, data, t, c;
    put16(pool, 1252), put16(pool, 0);
    for (const auto& s : strings) {
      put16(pool, static_cast<unsigned>(s.size()) + (brokenPool ? 1 : 0)), put16(pool, 1);
      data.insert(data.end(), s.begin(), s.end());
    }
    for (unsigned id : tables) put16(t, id);
    for (int k = 0; k < 4; ++k)
      for (const auto& row : columns) put16(c, k == 1 || k == 3 ? row[k] + 0x8000 : row[k]);
    msi::cfb::Editor e(msi::cfb::Clsid{});
    const auto table = [](const std::string& n) { return msi::cfb::Path{msi::stream_name::encode(n, true)}; };
    e.putStream(table("_StringPool"), pool);
    e.putStream(table("_StringData"), data);
    e.putStream(table("_Tables"), t);
    e.putStream(table("_Columns"), c);
    for (const auto& [name, bytes] : tableStreams) e.putStream(table(name), bytes);
    for (const auto& [name, bytes] : extra) e.putStream({name}, bytes);
    e.commit(path);
    return path;
  }
};

// Strings: 1 Good, 2 Key, 3 Bad, 4 Value. Table Good (Key s72) with one row; table Bad as given.
RawDb twoTables() {
  RawDb db;
  db.strings = {"Good", "Key", "Bad", "Value"};
  db.tables = {1, 3};
  db.columns = {{1, 1, 2, 0x2D48}, {3, 1, 2, 0x2D48}, {3, 2, 4, 0x0502}};
  Bytes good;
  put16(good, 4);  // the Good table holds one row, key "Value"
  db.tableStreams["Good"] = good;
  return db;
}

TEST(HostileInput, BrokenTablesAreReportedWhenReadAndHideNoOther) {
  struct Case {
    const char* name;
    std::function<void(RawDb&)> damage;
    const char* says;
  };
  const Case cases[] = {
      // Rows of 4 bytes, 5 left over.
      {"size", [](RawDb& d) { d.tableStreams["Bad"] = Bytes(4 * 3 + 5, 1); }, "table `Bad`"},
      {"ids", [](RawDb& d) { d.tableStreams["Bad"] = Bytes{0xE7, 0x03, 0x01, 0x80}; }, "999"},  // key id 999
      {"gap", [](RawDb& d) { d.columns[2][1] = 3; }, "table `Bad`: column numbers"},  // Bad's 2nd column numbered 3
      {"wide",
       [](RawDb& d) {
         d.strings.push_back("C");
         for (unsigned n = 2; n <= 40; ++n) d.columns.push_back({3, n + 1, 5, 0x1502});
       },
       "at most 32"},
      {"width", [](RawDb& d) { d.columns[2][3] = 0x0503; }, "width 3"},  // a 3-byte integer
      {"none", [](RawDb& d) { d.columns.resize(1); }, "no columns"},    // Bad has no columns at all
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RawDb raw = twoTables();
    c.damage(raw);
    const auto path = raw.write(scratchDir() / (std::string(c.name) + ".msi"));
    auto db = msi::Database::open(path, msi::OpenMode::ReadOnly);  // opening does not read tables
    EXPECT_EQ(db->tableNames(), (std::vector<std::string>{"Good", "Bad"}));
    EXPECT_EQ(db->table("Good").row(0)[0].asString(), "Value");
    EXPECT_TRUE(holds(errorOf([&] { db->table("Bad"); }), {path.string(), "table `Bad`", c.says}));
  }
}

TEST(HostileInput, AnUnreadTableWithBadStringIdsBlocksACommit) {
  // Unread, the table still blocks a commit that would renumber strings under it.
  RawDb raw = twoTables();
  raw.tableStreams["Bad"] = Bytes{0xE7, 0x03, 0x01, 0x80};  // key id 999
  auto db = msi::Database::open(raw.write(scratchDir() / "ids.msi"), msi::OpenMode::Transact);
  db->table("Good").insert({"New"});
  EXPECT_TRUE(holds(errorOf([&] { db->commit(); }), {"table `Bad`"}));
}

TEST(HostileInput, UnreadableCatalogueOrPoolFailsTheOpen) {
  const auto dir = scratchDir();
  RawDb pool = twoTables();
  pool.brokenPool = true;
  const auto p = pool.write(dir / "pool.msi");
  EXPECT_TRUE(holds(errorOf([&] { msi::Database::open(p, msi::OpenMode::ReadOnly); }), {p.string(), "_StringData"}));

  RawDb names = twoTables();
  names.tables.push_back(77);
  const auto n = names.write(dir / "names.msi");
  EXPECT_TRUE(holds(errorOf([&] { msi::Database::open(n, msi::OpenMode::ReadOnly); }), {"_Tables"}));

  msi::cfb::Editor empty(msi::cfb::Clsid{});
  empty.putStream({u"unrelated"}, Bytes{1});
  empty.commit(dir / "plain.cfb");
  EXPECT_TRUE(holds(errorOf([&] { msi::Database::open(dir / "plain.cfb", msi::OpenMode::ReadOnly); }), {"string pool"}));
  EXPECT_TRUE(holds(errorOf([&] { msi::Database::open(dir / "missing.msi", msi::OpenMode::ReadOnly); }), {"missing.msi"}));
}

TEST(HostileInput, DamagedSummaryInformationDoesNotHideTables) {
  RawDb raw = twoTables();
  raw.tableStreams["Bad"] = Bytes{4, 0, 1, 0x80};
  raw.extra[u"\u0005SummaryInformation"] = Bytes{0xFE, 0xFF, 0, 0};
  auto db = msi::Database::open(raw.write(scratchDir() / "si.msi"), msi::OpenMode::ReadOnly);
  EXPECT_THROW(db->summaryInfo(), msi::Error);
  EXPECT_EQ(db->table("Bad").row(0), (msi::Row{"Value", 1}));
}

// Reads every cell of every table; returns the first error, or "" when all read.
std::string readEveryTable(msi::Database& db) {
  return errorOf([&] {
    for (const auto& name : db.tableNames()) {
      const msi::Table& t = db.table(name);
      for (std::size_t r = 0; r < t.size(); ++r)
        for (const auto& cell : t.row(r)) (void)cell.text();
    }
  });
}

TEST(HostileInput, PackageShortenedWhileOpenGivesAnErrorNamingItNotACrash) {
  FENNICK_REQUIRE_FIXTURES();
  const fs::path source = fixture("ui-wix3-putty-installdir-featuretree/putty-0.68-installer.msi");
  // Cut inside the tables, just after the header, and to nothing.
  for (const std::uintmax_t size : {fs::file_size(source) / 2, std::uintmax_t{4096}, std::uintmax_t{0}}) {
    SCOPED_TRACE("shortened to " + std::to_string(size) + " bytes");
    const fs::path pkg = scratchDir() / "shortened.msi";
    fs::copy_file(source, pkg);
    auto db = msi::Database::open(pkg, msi::OpenMode::ReadOnly);
    fs::resize_file(pkg, size);
    EXPECT_TRUE(holds(readEveryTable(*db), {pkg.string(), "shortened"}));
  }
}

}  // namespace
