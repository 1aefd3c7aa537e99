// Table archives with binary cells: every cell keeps its own data through export and import,
// whatever its key, and msitools imports what we export.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "engine/db/database.h"
#include "engine/idt/idt.h"
#include "tests/support/db_builders.h"
#include "tests/support/error_text.h"
#include "tests/support/msitools.h"

namespace {

namespace fs = std::filesystem;
using fennick::test::blob;
using fennick::test::col;
using fennick::test::holds;

std::string dataOf(msi::Table& t, const std::string& key) {
  const auto at = t.find({key});
  if (!at) return "<no row " + key + ">";
  const msi::Bytes& b = t.row(*at)[1].asBlob().bytes();
  return std::string(b.begin(), b.end());
}

std::unique_ptr<msi::Database> binaryTable(const fs::path& path, int codepage,
                                           const std::vector<std::pair<std::string, std::string>>& cells) {
  auto db = msi::Database::open(path, msi::OpenMode::Create);
  db->setCodepage(codepage);
  db->createTable({"Binary", {col("Name", "s72", true), col("Data", "v0")}});
  for (const auto& [key, data] : cells) db->table("Binary").insert({key, blob(data)});
  return db;
}

TEST(ArchiveBinaryCells, KeysThatMakeTheSameFileNameKeepTheirOwnData) {
  const fs::path dir = fennick::test::scratchDir();
  const std::vector<std::pair<std::string, std::string>> cells = {
      {"a/b", "slash"}, {"a_b", "underscore"}, {"A_B", "upper case"}, {"a:b", "colon"}, {"a_b~2", "tilde"}};
  auto db = binaryTable(dir / "in.msi", 1252, cells);
  msi::idt::exportTable(*db, "Binary", dir, "Binary.idt");

  auto back = msi::Database::open(dir / "back.msi", msi::OpenMode::Create);
  msi::idt::importTable(*back, dir, "Binary.idt");
  for (const auto& [key, data] : cells) EXPECT_EQ(dataOf(back->table("Binary"), key), data) << key;

  // msitools reads the same archive, folder and all, into the same cells.
  if (!fennick::test::haveMsitools()) GTEST_SKIP() << "msitools not installed";
  const fs::path theirs = dir / "theirs.msi";
  ASSERT_EQ(fennick::test::run("cd '" + dir.string() + "' && msibuild theirs.msi -i Binary.idt").status, 0);
  for (const auto& [key, data] : cells) EXPECT_EQ(fennick::test::msiinfo("extract", theirs, "Binary." + key), data) << key;
}

TEST(ArchiveBinaryCells, KeysOutsideAsciiRoundTripInTheirCodepage) {
  const fs::path dir = fennick::test::scratchDir();
  // "Bä" fits 1252; "B☃" does not and loses the character in the file name only.
  const std::vector<std::pair<std::string, std::string>> cells = {{"B\xC3\xA4", "umlaut"}, {"B\xE2\x98\x83", "snowman"}};
  auto db = binaryTable(dir / "in.msi", 1252, {cells[0]});
  msi::idt::exportTable(*db, "Binary", dir, "Binary.idt");
  auto back = msi::Database::open(dir / "back.msi", msi::OpenMode::Create);
  msi::idt::importTable(*back, dir, "Binary.idt");
  EXPECT_EQ(dataOf(back->table("Binary"), cells[0].first), "umlaut");
  EXPECT_EQ(back->codepage(), 1252);

  // A key the codepage cannot hold cannot be exported as text at all: a clear error.
  auto neutral = binaryTable(dir / "snow.msi", 1252, {cells[1]});
  EXPECT_THROW(msi::idt::exportTable(*neutral, "Binary", dir, "Snow.idt"), msi::Error);
}

TEST(ArchiveBinaryCells, TableNamesThatAreNotFolderNamesAreRefused) {
  const fs::path dir = fennick::test::scratchDir() / "inner";
  fs::create_directories(dir);
  auto db = msi::Database::open(dir / "in.msi", msi::OpenMode::Create);
  db->createTable({"..", {col("Name", "s72", true), col("Data", "v0")}});
  db->table("..").insert({"x", blob("data")});
  EXPECT_THROW(msi::idt::exportTable(*db, "..", dir, "dots.idt"), msi::Error);
  EXPECT_FALSE(fs::exists(dir.parent_path() / "x.ibd"));

  fs::create_directories(dir.parent_path() / "outside");
  std::ofstream(dir.parent_path() / "outside" / "x.ibd") << "data";
  std::ofstream(dir / "bad.idt") << "Name\tData\r\ns72\tv0\r\n../outside\tName\r\nx\tx.ibd\r\n";
  auto into = msi::Database::open(dir / "into.msi", msi::OpenMode::Create);
  EXPECT_THROW(msi::idt::importTable(*into, dir, "bad.idt"), msi::Error);
  EXPECT_FALSE(into->hasTable("../outside"));
}

TEST(ArchiveImport, ABadRowNamesItsLineAndLeavesTheTableAsItWas) {
  const fs::path dir = fennick::test::scratchDir();
  auto db = msi::Database::open(dir / "in.msi", msi::OpenMode::Create);
  db->createTable({"Item", {col("Name", "s32", true), col("Count", "I2")}});
  db->table("Item").insert({"kept", 1});
  const auto importText = [&](const std::string& text) -> std::string {
    std::ofstream(dir / "Item.idt", std::ios::binary) << "Name\tCount\r\ns32\tI2\r\nItem\tName\r\n" << text;
    return fennick::test::errorOf([&] { msi::idt::importTable(*db, dir, "Item.idt"); });
  };
  EXPECT_TRUE(holds(importText("a\t1\r\nb\t2\r\na\t3\r\n"), {"Item.idt, line 6", "already exists"}));
  // Every line is read before a row goes in: a bad value after a repeated key is the one named.
  EXPECT_TRUE(holds(importText("a\t1\r\na\t2\r\nb\t40000\r\n"), {"line 6"}));
  ASSERT_EQ(db->table("Item").size(), 1u);
  EXPECT_EQ(db->table("Item").row(0)[0].asString(), "kept");

  EXPECT_EQ(importText("a\t1\r\nb\t\r\n"), "");
  EXPECT_EQ(db->table("Item").size(), 2u);
}

}  // namespace
