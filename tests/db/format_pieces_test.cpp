// The file-format pieces: column types, codepages, the string pool, table
// streams and summary information, each against bytes and values from the format's
// published examples or built by hand here.
#include <gtest/gtest.h>

#include <tuple>

#include "engine/db/codepage.h"
#include "engine/db/string_index.h"
#include "engine/db/string_pool.h"
#include "engine/db/summary_info.h"
#include "engine/db/table_stream.h"
#include "engine/db/value.h"
#include "tests/support/error_text.h"
#include "tests/support/db_builders.h"

namespace {

using fennick::test::bytesOf;
using fennick::test::col;
using fennick::test::errorOf;
using fennick::test::holds;
using msi::Bytes;

TEST(Column, TypeBitsMatchTheInstallersValues) {
  const std::tuple<const char*, bool, int> cases[] = {
      {"s72", true, 0x2D48}, {"S255", false, 0x1DFF}, {"L0", false, 0x1F00}, {"l64", false, 0x0F40},
      {"i2", false, 0x0502}, {"I2", false, 0x1502},   {"i4", false, 0x0104}, {"I4", false, 0x1104},
      {"v0", false, 0x0900}, {"V0", false, 0x1900}};
  for (const auto& [def, key, bits] : cases) {
    EXPECT_EQ(col("c", def, key).typeBits(), bits) << def;
    const msi::Column back = msi::Column::fromTypeBits("c", bits);
    EXPECT_EQ(back.definition(), def);
    EXPECT_EQ(back.key, key) << def;
  }
  EXPECT_EQ(msi::Column::fromTypeBits("c", 0x0501).width, 2) << "1-byte integers are stored in 2";
  EXPECT_THROW(msi::Column::fromTypeBits("c", 0x0503), msi::Error);
  for (const char* bad : {"x72", "s", "i3", "s256", "s7x", ""}) EXPECT_THROW(col("c", bad), msi::Error) << bad;
}

TEST(Codepage, Windows1252RoundTripsEveryByte) {
  const msi::Codepage cp(1252);
  std::string all;
  for (int b = 1; b < 256; ++b) all.push_back(static_cast<char>(b));
  const std::string utf8 = cp.decode(all);
  EXPECT_NE(utf8.find("\xE2\x82\xAC"), std::string::npos) << "0x80 is the euro sign";
  EXPECT_EQ(cp.encode(utf8), all);
  EXPECT_EQ(msi::Codepage(0).decode("\xE9"), "\xC3\xA9") << "neutral reads as 1252";
}

TEST(Codepage, DoubleByteAndUnrepresentableText) {
  const msi::Codepage sjis(932);
  EXPECT_EQ(sjis.decode("\x93\xFA\x96\x7B"), "\xE6\x97\xA5\xE6\x9C\xAC");  // "日本"
  EXPECT_EQ(sjis.encode("\xE6\x97\xA5\xE6\x9C\xAC"), std::string("\x93\xFA\x96\x7B"));
  EXPECT_EQ(sjis.decode("a\x93"), "a\xEF\xBF\xBD") << "a lead byte without its trail";
  EXPECT_EQ(msi::Codepage(1252).encode("\xD7\xA9"), std::nullopt) << "Hebrew is not in 1252";
  EXPECT_EQ(msi::Codepage(1255).encode("\xD7\xA9"), std::string("\xF9"));
  EXPECT_EQ(msi::Codepage(65001).decode("ok\xFF"), "ok\xEF\xBF\xBD");
  for (int id : {0, 932, 936, 949, 950, 1250, 1251, 1252, 1253, 1254, 1255, 1256, 1257, 1258, 65001})
    EXPECT_TRUE(msi::Codepage::supported(id)) << id;
  EXPECT_FALSE(msi::Codepage::supported(12345));
  EXPECT_THROW(msi::Codepage(12345), msi::Error);
}

// A pool stream by hand: codepage word, then (length, refcount) pairs.
Bytes poolBytes(std::uint32_t header, std::initializer_list<std::pair<std::uint16_t, std::uint16_t>> slots) {
  Bytes b = {static_cast<std::uint8_t>(header), static_cast<std::uint8_t>(header >> 8),
             static_cast<std::uint8_t>(header >> 16), static_cast<std::uint8_t>(header >> 24)};
  for (const auto& [len, refs] : slots) {
    b.push_back(len & 0xFF), b.push_back(len >> 8);
    b.push_back(refs & 0xFF), b.push_back(refs >> 8);
  }
  return b;
}

TEST(StringPool, ReadsIdsHolesAndFlagsThenInternsIntoHolesAndWritesExactCounts) {
  auto pool = msi::StringPool::parse(poolBytes(0x800004E4, {{3, 2}, {0, 0}, {4, 7}}), bytesOf("FooQuux"), "t.msi");
  EXPECT_EQ(pool.codepage(), 1252);
  EXPECT_TRUE(pool.longRefs());
  EXPECT_EQ(pool.at(1), "Foo");
  EXPECT_FALSE(pool.has(2)) << "an empty slot still takes an id";
  EXPECT_EQ(pool.at(3), "Quux");
  EXPECT_EQ(pool.find("Quux"), 3u);
  EXPECT_EQ(pool.find("nope"), 0u);
  EXPECT_EQ(pool.intern("Quux"), 3u) << "known strings keep their id";
  EXPECT_EQ(pool.intern("new"), 2u) << "the lowest hole is reused";
  EXPECT_EQ(pool.intern("newer"), 4u);
  EXPECT_EQ(pool.intern(""), 0u);
  // Id 1 unused, id 3 used 70000 times (saturates), id 4 unused and trailing: dropped.
  const auto s = pool.serialize({0, 0, 2, 70000, 0}, false, "p");
  EXPECT_EQ(s.pool, poolBytes(1252, {{0, 0}, {3, 2}, {4, 0xFFFF}}));
  EXPECT_EQ(s.data, bytesOf("newQuux"));
  pool.release(2);
  EXPECT_EQ(pool.find("new"), 0u);
  EXPECT_EQ(pool.intern("again"), 2u);
}

TEST(StringPool, ReadsLongStringsInEitherLayout) {
  const std::string big(0x10005, 'x');
  Bytes data = bytesOf(big + "ab");
  // (0, high word) then (low word, refcount), as msitools and rust-msi write it ...
  auto a = msi::StringPool::parse(poolBytes(1252, {{0, 1}, {5, 3}, {2, 1}}), data, "a");
  EXPECT_EQ(a.at(1).size(), big.size());
  EXPECT_EQ(a.at(2), "ab") << "the long string takes two slots but one id";
  // ... and (0, refcount) then the 32-bit length.
  auto b = msi::StringPool::parse(poolBytes(1252, {{0, 3}, {5, 1}, {2, 1}}), data, "b");
  EXPECT_EQ(b.at(1).size(), big.size());
  EXPECT_EQ(b.at(2), "ab");
}

TEST(StringPool, StringsKeepTheirTextAndIdsWhenMostOthersAreReleased) {
  msi::StringPool pool;
  const auto text = [](int i) { return "string number " + std::to_string(i); };
  std::vector<std::uint32_t> ids;
  for (int i = 0; i < 20000; ++i) ids.push_back(pool.intern(text(i)));
  for (int i = 0; i < 20000; ++i)
    if (i % 10 != 0) pool.release(ids[i]);
  for (int i = 0; i < 20000; i += 10) {
    EXPECT_EQ(pool.at(ids[i]), text(i));
    EXPECT_EQ(pool.find(text(i)), ids[i]);
  }
  EXPECT_EQ(pool.find(text(1)), 0u);
  const std::uint32_t again = pool.intern(text(1));
  EXPECT_EQ(pool.at(again), text(1));
  EXPECT_EQ(pool.at(ids[10]), text(10)) << "a reused hole leaves its neighbours alone";
}

TEST(StringPool, RejectsPoolsThatDisagreeWithTheirData) {
  EXPECT_TRUE(holds(errorOf([] { msi::StringPool::parse(poolBytes(1252, {{3, 1}, {9, 1}}), bytesOf("Foo"), "bad.msi"); }),
                    {"bad.msi"}))
      << "lengths larger than the data";
  EXPECT_THROW(msi::StringPool::parse(Bytes{1, 2, 3, 4, 5}, {}, "x"), msi::Error) << "not whole slots";
  EXPECT_THROW(msi::StringPool::parse(poolBytes(1252, {{0, 1}}), {}, "x"), msi::Error) << "cut long entry";
  EXPECT_THROW(msi::StringPool::parse(poolBytes(4242, {}), {}, "x"), msi::Error) << "unknown codepage";
}

TEST(TableStream, SizesThatDoNotFitTheColumns) {
  const std::vector<msi::Column> cols = {col("K", "s72", true), col("N", "i4")};
  EXPECT_EQ(msi::table_stream::decode(Bytes(12 + 2, 1), cols, false, "T").rows, 2u) << "stray bytes";
  EXPECT_TRUE(holds(errorOf([&] { msi::table_stream::decode(Bytes(12 + 5, 1), cols, false, "Feature"); }),
                    {"table `Feature`"}));
  // A file flagged for 3-byte references whose table still has 2-byte ones.
  const auto cells = msi::table_stream::decode(Bytes{1, 0, 2, 0}, {col("K", "s72", true)}, true, "T");
  EXPECT_EQ(cells.rows, 2u);
  EXPECT_FALSE(cells.longRefs);
}

TEST(SummaryInfo, WritesWhatItReads) {
  msi::SummaryInfo in;
  in.properties[msi::PID_CODEPAGE] = 1251;
  in.properties[msi::PID_TITLE] = std::string("\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82");  // Cyrillic
  in.properties[msi::PID_TEMPLATE] = std::string("x64;1049");
  in.properties[msi::PID_CREATE_DTM] = msi::FileTime{132000000000000000ull};
  in.properties[msi::PID_PAGECOUNT] = 500;
  const Bytes bytes = in.serialize();
  const auto out = msi::SummaryInfo::parse(bytes, "s");
  EXPECT_EQ(out.properties, in.properties);
  // Strings are stored in the declared codepage: 6 Cyrillic letters are 6 bytes + NUL.
  const std::string raw(bytes.begin(), bytes.end());
  EXPECT_NE(raw.find("\xCF\xF0\xE8\xE2\xE5\xF2"), std::string::npos);

  msi::SummaryInfo utf8;
  utf8.properties[msi::PID_CODEPAGE] = 65001;
  EXPECT_EQ(std::get<std::int32_t>(msi::SummaryInfo::parse(utf8.serialize(), "u").properties.at(msi::PID_CODEPAGE)), 65001);
}

TEST(SummaryInfo, RejectsDamagedSets) {
  msi::SummaryInfo in;
  in.properties[msi::PID_TITLE] = std::string("Installation Database");
  Bytes bytes = in.serialize();
  for (std::size_t cut : {std::size_t(10), std::size_t(50), bytes.size() - 4}) {
    Bytes shorter(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(cut));
    EXPECT_THROW(msi::SummaryInfo::parse(shorter, "s"), msi::Error) << cut;
  }
  bytes[0] = 0;
  EXPECT_THROW(msi::SummaryInfo::parse(bytes, "s"), msi::Error);
}

// Texts laid out as a pool holds them: one block of bytes and a span per id.
struct LaidOut {
  std::string bytes;
  std::vector<msi::TextSpan> spans;
  explicit LaidOut(std::initializer_list<std::string> texts) {
    for (const std::string& t : texts) {
      spans.push_back({static_cast<std::uint32_t>(bytes.size()), static_cast<std::uint32_t>(t.size())});
      bytes += t;
    }
  }
  msi::PoolTexts texts() const { return msi::PoolTexts(bytes.data(), spans); }
};

// Growth and removals are checked through the pool (StringPool tests above); building in
// one go is checked here: a repeated text stays with its first id, holes are skipped, and
// the result says whether any text repeats.
TEST(StringIndex, BuildKeepsTheFirstIdOfARepeatedText) {
  const LaidOut pool{"", "a", "", "b", "a", "c", "b"};
  msi::StringIndex built;
  EXPECT_TRUE(built.build(pool.texts()));
  EXPECT_EQ(built.find("a", pool.texts()), 1u);
  EXPECT_EQ(built.find("b", pool.texts()), 3u);
  EXPECT_EQ(built.find("c", pool.texts()), 5u);
  EXPECT_EQ(built.find("d", pool.texts()), 0u);
  msi::StringIndex unique;
  EXPECT_FALSE(unique.build(LaidOut{"", "x", "y", "", "z"}.texts()));
}

}  // namespace
