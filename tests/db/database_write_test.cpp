// Databases we write are read back by msitools as we meant them.
#include <gtest/gtest.h>

#include <filesystem>

#include "engine/cfb/compound_file.h"
#include "engine/db/database.h"
#include "engine/db/stream_name.h"
#include "tests/support/db_builders.h"
#include "tests/support/error_text.h"
#include "tests/support/msitools.h"
#include "tests/support/fixtures.h"

namespace {

using namespace fennick::test;
namespace fs = std::filesystem;

void buildSample(msi::Database& db) {
  db.createTable({"Property", {col("Property", "s72", true), col("Value", "l0")}});
  db.createTable({"Feature",
                  {col("Feature", "s38", true), col("Title", "L64"), col("Display", "I2"), col("Level", "i2"),
                   col("Attributes", "i4")}});
  db.createTable({"Binary", {col("Name", "s72", true), col("Data", "v0")}});
  auto& prop = db.table("Property");
  prop.insert({"ProductName", "Sample"});
  prop.insert({"ALLUSERS", "1"});
  prop.insert({"Manufacturer", "Fennick tests"});
  auto& feature = db.table("Feature");
  feature.insert({"Main", "Main feature", 2, 1, 0});
  feature.insert({"Extras", msi::Value(), msi::Value(), 32767, -2147483647});
  feature.insert({"Negative", "Below zero", -32767, 3, 2147483647});
  db.table("Binary").insert({"Icon", msi::Blob(bytesOf("not really an icon"))});
  auto& si = db.summaryInfo();
  si.properties[msi::PID_CODEPAGE] = 1252;
  for (const auto& [pid, text] : std::initializer_list<std::pair<std::uint32_t, const char*>>{
           {msi::PID_TITLE, "Installation Database"}, {msi::PID_SUBJECT, "Sample"}, {msi::PID_TEMPLATE, "Intel;1033"},
           {msi::PID_REVNUMBER, "{11111111-2222-3333-4444-555555555555}"}, {msi::PID_AUTHOR, "Author"},
           {msi::PID_KEYWORDS, "Keywords"}, {msi::PID_COMMENTS, "Comments"}, {msi::PID_LASTAUTHOR, "Last author"},
           {msi::PID_APPNAME, "Application"}})
    si.properties[pid] = std::string(text);
  si.properties[msi::PID_CREATE_DTM] = msi::FileTime{132224078450000000ull};  // 2020-01-02 03:04:05
  si.properties[msi::PID_LASTSAVE_DTM] = msi::FileTime{132224078460000000ull};
  si.properties[msi::PID_LASTPRINTED] = msi::FileTime{132224078470000000ull};
  si.properties[msi::PID_PAGECOUNT] = 200;
  si.properties[msi::PID_WORDCOUNT] = 2;
  si.properties[msi::PID_SECURITY] = 4;
  si.changed = true;
}

TEST(DatabaseWrite, NewDatabaseIsReadByMsitoolsAndTheSameEveryTime) {
  const fs::path pkg = scratchDir() / "new.msi", again = pkg.parent_path() / "again.msi";
  for (const fs::path& path : {pkg, again}) {
    auto db = msi::Database::open(path, msi::OpenMode::Create);
    buildSample(*db);
    EXPECT_FALSE(fs::exists(path)) << "nothing is written before commit";
    db->commit();
  }
  EXPECT_EQ(ReadText(pkg), ReadText(again));
  EXPECT_EQ(msiinfoTables(pkg), (std::vector<std::string>{"Property", "Feature", "Binary"}));
  EXPECT_EQ(msiinfo("export", pkg, "Feature"),
            "Feature\tTitle\tDisplay\tLevel\tAttributes\r\ns38\tL64\tI2\ti2\ti4\r\nFeature\tFeature\r\n"
            "Main\tMain feature\t2\t1\t0\r\nExtras\t\t\t32767\t-2147483647\r\n"
            "Negative\tBelow zero\t-32767\t3\t2147483647\r\n");
  EXPECT_EQ(msiinfo("export", pkg, "Property"),
            "Property\tValue\r\ns72\tl0\r\nProperty\tProperty\r\nProductName\tSample\r\nALLUSERS\t1\r\n"
            "Manufacturer\tFennick tests\r\n");
  EXPECT_EQ(msiinfo("extract", pkg, "Binary.Icon"), "not really an icon");
  // Each property under the name msitools gives its number.
  EXPECT_EQ(run("TZ=UTC msiinfo suminfo " + shellQuote(pkg.string())).out,
            ReadText(fs::path(__FILE__).parent_path() / "sample-suminfo.txt"));

  // The root carries the package class, so installers recognise the file.
  const auto reader = msi::cfb::Reader::open(pkg);
  const msi::cfb::Clsid packageClsid = {0x84, 0x10, 0x0C, 0, 0, 0, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46};
  EXPECT_EQ(reader->rootClsid(), packageClsid);
}

TEST(DatabaseWrite, CopyOfEveryFixtureExportsIdentically) {
  FENNICK_REQUIRE_FIXTURES();
  const fs::path dir = scratchDir();
  int n = 0;
  for (const auto& src : fixturePackages()) {
    SCOPED_TRACE(src.string());
    const fs::path dst = dir / ("copy" + std::to_string(n++) + ".msi");
    auto in = msi::Database::open(src, msi::OpenMode::ReadOnly);
    {
      auto out = msi::Database::open(dst, msi::OpenMode::Create);
      out->setCodepage(in->codepage());
      for (const auto& name : in->tableNames()) {
        const msi::Table& t = in->table(name);
        out->createTable(t.schema());
        msi::Table& copy = out->table(name);
        for (std::size_t r = 0; r < t.size(); ++r) copy.insert(t.row(r));
      }
      // Streams that are not binary cells (cabinets) come across through _Streams.
      msi::Table& streams = in->table("_Streams");
      msi::Table& outStreams = out->table("_Streams");
      for (std::size_t r = 0; r < streams.size(); ++r)
        if (!outStreams.find({streams.row(r)[0]})) outStreams.insert(streams.row(r));
      out->summaryInfo() = in->summaryInfo();
      out->summaryInfo().changed = true;
      out->commit();
    }
    // Table order follows the ids of the names, which the copy assigns afresh.
    auto srcTables = msiinfoTables(src), dstTables = msiinfoTables(dst);
    std::sort(srcTables.begin(), srcTables.end());
    std::sort(dstTables.begin(), dstTables.end());
    EXPECT_EQ(dstTables, srcTables);
    // Rows come out in string-id order, and the copy numbers its strings afresh, so the rows
    // are compared as sets; the three header lines must be identical.
    const auto exported = [&](const fs::path& pkg, const std::string& name) {
      auto all = lines(msiinfo("export", pkg, name));
      std::sort(all.begin() + std::min<std::size_t>(3, all.size()), all.end());
      return all;
    };
    for (const auto& name : in->tableNames()) EXPECT_EQ(exported(dst, name), exported(src, name)) << name;
    EXPECT_EQ(msiinfo("suminfo", dst), msiinfo("suminfo", src));
    auto theirs = lines(msiinfo("streams", src));
    auto ours = lines(msiinfo("streams", dst));
    // A package may hold the same decoded name twice (compressed and plain); one copy is kept.
    std::sort(theirs.begin(), theirs.end());
    theirs.erase(std::unique(theirs.begin(), theirs.end()), theirs.end());
    std::sort(ours.begin(), ours.end());
    EXPECT_EQ(ours, theirs);
  }
}

TEST(DatabaseWrite, CodepageTranslatesAtTheFileBoundary) {
  FENNICK_REQUIRE_FIXTURES();
  const auto src = fixture("odd-wix3-testdata/he-il-codepage1255.msi");
  auto in = msi::Database::open(src, msi::OpenMode::ReadOnly);
  EXPECT_EQ(in->codepage(), 1255);
  bool hebrew = false;
  const auto& feature = in->table("Feature");
  for (std::size_t i = 0; i < feature.size(); ++i)
    hebrew = hebrew || feature.row(i)[3].text().find("\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D") != std::string::npos;
  EXPECT_TRUE(hebrew) << "Hebrew text decodes to UTF-8";

  const fs::path pkg = scratchDir() / "hebrew.msi";
  {
    auto db = msi::Database::open(pkg, msi::OpenMode::Create);
    db->setCodepage(1255);
    db->createTable({"Property", {col("Property", "s72", true), col("Value", "l0")}});
    db->table("Property").insert({"Greeting", "\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D"});  // shalom
    db->commit();
  }
  const auto pool = msi::cfb::Reader::open(pkg)->read({msi::stream_name::encode("_StringData", true)});
  const std::string data(pool.begin(), pool.end());
  EXPECT_NE(data.find("\xF9\xEC\xE5\xED"), std::string::npos) << "stored in 1255";
  EXPECT_EQ(msiinfoRows(pkg, "Property").at(0).at(1), "\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D");

  auto db = msi::Database::open(pkg, msi::OpenMode::Transact);
  db->setCodepage(1252);
  db->table("Property").insert({"Other", "x"});
  EXPECT_THROW(db->commit(), msi::Error) << "Hebrew has no form in 1252";
  EXPECT_EQ(msiinfoRows(pkg, "Property").size(), 1u) << "a failed commit leaves the file";
}

TEST(DatabaseWrite, ManyStringsUseThreeByteReferencesAndLongStringsTwoSlots) {
  const fs::path pkg = scratchDir() / "big.msi";
  constexpr int kRows = 70000;
  const std::string longText(70000, 'x');  // longer than a slot's 16-bit length
  {
    auto db = msi::Database::open(pkg, msi::OpenMode::Create);
    db->createTable({"Big", {col("Key", "s72", true), col("Number", "i4"), col("Text", "S0")}});
    auto& t = db->table("Big");
    t.insert({"long", -1, longText});  // every string after it has a later id
    for (int i = 0; i < kRows; ++i) t.insert({"k" + std::to_string(i), i, i % 7 ? msi::Value("same") : msi::Value()});
    db->commit();
  }
  const auto pool = msi::cfb::Reader::open(pkg)->read({msi::stream_name::encode("_StringPool", true)});
  ASSERT_GE(pool.size(), 4u);
  EXPECT_TRUE(pool[3] & 0x80) << "long-reference flag";
  const auto rows = msiinfoRows(pkg, "Big");
  ASSERT_EQ(rows.size(), static_cast<std::size_t>(kRows) + 1);
  EXPECT_EQ(rows[0], (std::vector<std::string>{"long", "-1", longText}));
  EXPECT_EQ(rows[1], (std::vector<std::string>{"k0", "0", ""}));
  EXPECT_EQ(rows[kRows], (std::vector<std::string>{"k69999", "69999", "same"}));
  auto db = msi::Database::open(pkg, msi::OpenMode::ReadOnly);
  const auto& t = db->table("Big");
  ASSERT_EQ(t.size(), static_cast<std::size_t>(kRows) + 1);
  EXPECT_EQ(t.row(*t.find({"k65600"}))[1], msi::Value(65600));
}

TEST(DatabaseWrite, TemporaryDataIsNeverWritten) {
  const fs::path pkg = scratchDir() / "temp.msi";
  auto db = msi::Database::open(pkg, msi::OpenMode::Create);
  db->createTable({"Property", {col("Property", "s72", true), col("Value", "l0")}});
  msi::Schema hold{"Scratch", {col("Name", "s72", true)}, true};
  db->createTable(hold);
  db->table("Scratch").insert({"gone"});
  db->table("Property").insert({"Kept", "yes"});
  db->table("Property").insert({"Passing", "no"}, true);
  db->addColumn("Property", [] { auto c = col("Note", "S0"); c.temporary = true; return c; }());
  EXPECT_EQ(db->tableNames(), (std::vector<std::string>{"Property", "Scratch"}));
  EXPECT_FALSE(db->isPersistent("Scratch"));
  db->commit();
  EXPECT_EQ(msiinfoTables(pkg), std::vector<std::string>{"Property"});
  EXPECT_EQ(msiinfo("export", pkg, "Property"), "Property\tValue\r\ns72\tl0\r\nProperty\tProperty\r\nKept\tyes\r\n");
  // In memory they are still there.
  EXPECT_EQ(db->table("Property").size(), 2u);
  EXPECT_EQ(db->table("Scratch").size(), 1u);
}

TEST(DatabaseWrite, StreamsTableAddsReplacesAndRemovesStreams) {
  const fs::path pkg = scratchDir() / "streams.msi";
  auto db = msi::Database::open(pkg, msi::OpenMode::Create);
  auto& streams = db->table("_Streams");
  streams.insert({"cab1.cab", msi::Blob(bytesOf("first"))});
  streams.insert({"other", msi::Blob(bytesOf("second"))});
  EXPECT_THROW(streams.insert({"other", msi::Blob(bytesOf("again"))}), msi::Error);
  EXPECT_THROW(streams.insert({std::string(70, 'n'), msi::Blob(bytesOf("x"))}), msi::Error) << "name too long";
  db->commit();
  EXPECT_EQ(msiinfo("extract", pkg, "cab1.cab"), "first");
  const auto i = streams.find({"cab1.cab"});
  ASSERT_TRUE(i);
  streams.update(*i, {"cab1.cab", msi::Blob(bytesOf("replaced"))});
  streams.erase(*streams.find({"other"}));
  db->commit();
  EXPECT_EQ(msiinfo("extract", pkg, "cab1.cab"), "replaced");
  EXPECT_EQ(lines(msiinfo("streams", pkg)), std::vector<std::string>{"cab1.cab"});
}

TEST(DatabaseWrite, ReadOnlyDatabaseNeverTouchesItsFile) {
  FENNICK_REQUIRE_FIXTURES();
  const fs::path pkg = scratchCopy("noui-wix311-nofeature-jsign/minimal.msi", "ro.msi");
  const std::string before = ReadText(pkg);
  auto db = msi::Database::open(pkg, msi::OpenMode::ReadOnly);
  EXPECT_TRUE(db->readOnly());
  db->table("Property").insert({"InMemory", "only"});
  EXPECT_TRUE(holds(errorOf([&] { db->commit(); }), {"read-only"}));
  EXPECT_TRUE(db->table("Property").find({"InMemory"})) << "in-memory changes remain usable";
  EXPECT_EQ(ReadText(pkg), before);
}

TEST(DatabaseWrite, FailedCommitLeavesTargetAndNoTemporaryFile) {
  const fs::path dir = scratchDir();
  const fs::path target = dir / "occupied";
  fs::create_directories(target / "inside");  // a directory cannot be replaced by a file
  auto db = msi::Database::open(target, msi::OpenMode::Create);
  db->createTable({"T", {col("K", "s72", true)}});
  db->table("T").insert({"row"});
  EXPECT_THROW(db->commit(), msi::Error);
  EXPECT_TRUE(fs::is_directory(target / "inside"));
  std::vector<fs::path> left;
  for (const auto& e : fs::directory_iterator(dir)) left.push_back(e.path().filename());
  EXPECT_EQ(left, std::vector<fs::path>{"occupied"}) << "no temporary file stays behind";
  EXPECT_EQ(db->table("T").size(), 1u);
}

TEST(DatabaseWrite, DroppedTablesLeaveTheFile) {
  const fs::path pkg = scratchDir() / "drop.msi";
  {
    auto db = msi::Database::open(pkg, msi::OpenMode::Create);
    buildSample(*db);
    db->commit();
    db->dropTable("Binary");
    db->dropTable("Feature");
    db->commit();
  }
  EXPECT_EQ(msiinfoTables(pkg), std::vector<std::string>{"Property"});
  const auto names = lines(msiinfo("streams", pkg));
  EXPECT_EQ(std::count(names.begin(), names.end(), "Binary.Icon"), 0) << "binary cells go with their table";
  const auto reader = msi::cfb::Reader::open(pkg);
  EXPECT_FALSE(reader->find({msi::stream_name::encode("Feature", true)}));
}

}  // namespace
