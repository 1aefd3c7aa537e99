// Damaged and hostile files: each gives an Error naming the file and the cause, never a
// crash, a hang or a huge allocation.
#include <gtest/gtest.h>

#include <functional>

#include "engine/cfb/compound_file.h"
#include "tests/cfb/cfb_test_support.h"
#include "tests/support/error_text.h"
#include "tests/support/fixtures.h"

namespace {

using namespace msi::cfb;
using cfbtest::entryOffset;
using cfbtest::fatEntryOffset;
using cfbtest::setU32;
using cfbtest::u32;
using fennick::test::errorOf;
using fennick::test::holds;

constexpr std::uint32_t kEnd = 0xFFFFFFFE;
constexpr std::uint32_t kFree = 0xFFFFFFFF;
const std::string kName = "hostile.msi";

// Entries, in the id order our writer gives them: 0 root, 1 "a" (100 bytes, mini stream),
// 2 "b" (`bigSize` bytes), 3 "c" (3000 bytes, mini stream), 4 storage "S", 5 "S/x".
Bytes sample(int version = 3, std::size_t bigSize = 10000) {
  Editor ed(Clsid{});
  ed.setVersion(version);
  ed.putStream({u"a"}, cfbtest::pattern(100, 1));
  ed.putStream({u"b"}, cfbtest::pattern(bigSize, 2));
  ed.putStream({u"c"}, cfbtest::pattern(3000, 3));
  ed.putStream({u"S", u"x"}, cfbtest::pattern(10, 4));
  const auto path = fennick::test::scratchDir() / "sample.msi";
  ed.commit(path);
  return cfbtest::readFile(path);
}

std::uint32_t startOf(const Bytes& f, std::uint32_t id) { return u32(f, entryOffset(f, id) + 0x74); }

// Opens `file` and reads everything in it; returns the Error message, or "" when all worked.
std::string failure(const Bytes& file) {
  return errorOf([&] { cfbtest::contentListing(*Reader::fromBytes(file, kName)); });
}

// `file`, changed by `damage` when there is one, fails with an Error naming it and `cause`.
void expectDamage(Bytes file, const std::function<void(Bytes&)>& damage, const std::string& cause) {
  if (damage) damage(file);
  const std::string message = failure(file);
  EXPECT_TRUE(message.starts_with(kName + ": ")) << message;
  EXPECT_TRUE(holds(message, {cause}));
}

TEST(HostileFat, ChainsThatLoopLeaveOrEndEarly) {
  const Bytes good = sample();
  ASSERT_EQ(failure(good), "");
  const std::uint32_t b = startOf(good, 2);

  expectDamage(good, [&](Bytes& f) { setU32(f, fatEntryOffset(f, b + 5), b + 2); },
               "stream `b`: sector chain loops at sector " + std::to_string(b + 2));
  expectDamage(good, [&](Bytes& f) { setU32(f, fatEntryOffset(f, b + 3), 0x00100000); },
               "stream `b`: sector chain leads to sector id 1048576, out of range");
  expectDamage(good, [&](Bytes& f) { setU32(f, fatEntryOffset(f, b + 3), kFree); }, "leads to a free sector");
  expectDamage(good, [&](Bytes& f) { setU32(f, fatEntryOffset(f, b + 3), kEnd); },
               "sector chain ends after 4 of 20 sectors");

  Bytes selfLoop = good;  // the directory chain points at itself: found when opening
  const std::uint32_t dir = u32(good, 0x30);
  setU32(selfLoop, fatEntryOffset(selfLoop, dir), dir);
  expectDamage(selfLoop, nullptr, "directory: sector chain loops");
}

TEST(HostileFat, MiniChainsAreCheckedToo) {
  const Bytes good = sample();
  const std::uint32_t c = startOf(good, 3);
  const std::size_t miniFat = cfbtest::sectorOffset(good, u32(good, 0x3C));

  expectDamage(good, [&](Bytes& f) { setU32(f, miniFat + 4 * (c + 3), c); },
               "stream `c`: mini sector chain loops at mini sector " + std::to_string(c));
  expectDamage(good, [&](Bytes& f) { setU32(f, entryOffset(f, 1) + 0x74, 70000); },
               "stream `a`: mini sector chain leads to sector id 70000");
}

TEST(HostileHeader, CountsAndGeometryOutOfRange) {
  const Bytes good = sample();

  expectDamage(good, [&](Bytes& f) { setU32(f, 0x2C, 0x00FFFFFF); },
               "header declares 16777215 FAT sectors but the file has only");
  expectDamage(good, [&](Bytes& f) { setU32(f, 0x4C, 4000); }, "FAT sector 0 is at sector id 4000, out of range");
  expectDamage(good, [&](Bytes& f) { f[0x1E] = 20; }, "unsupported sector size 2^20");
  expectDamage(good, [&](Bytes& f) { f[0x1A] = 7; }, "unsupported format version 7");
  expectDamage(good, [&](Bytes& f) { f[3] ^= 0xFF; }, "not a compound file");
  // more FAT sectors than the header lists, no DIFAT chain
  expectDamage(sample(3, 160000), [&](Bytes& f) {
    setU32(f, 0x2C, 110);
    for (std::size_t i = 1; i < 109; ++i) setU32(f, 0x4C + 4 * i, 0);
  }, "DIFAT lists 109 FAT sectors, header declares 110");
}

TEST(HostileHeader, DifatChainThatLoops) {
  Bytes file = sample(3, 160000);  // enough sectors for a long FAT sector list
  const std::uint32_t b = startOf(file, 2);
  setU32(file, 0x2C, 109 + 127 + 5);
  for (std::size_t i = 1; i < 109; ++i) setU32(file, 0x4C + 4 * i, 0);
  setU32(file, 0x44, b);
  const std::size_t at = cfbtest::sectorOffset(file, b);
  for (std::size_t i = 0; i < 127; ++i) setU32(file, at + 4 * i, 0);
  setU32(file, at + 4 * 127, b);
  expectDamage(file, nullptr, "DIFAT sector chain loops at sector " + std::to_string(b));
}

TEST(HostileDirectory, CyclesOutOfRangeLinksAndBadEntries) {
  const Bytes good = sample();
  // Sibling tree of the root: c (3) at the top, b (2) left of it, a (1) left of b, S (4) right.
  ASSERT_EQ(u32(good, entryOffset(good, 0) + 0x4C), 3u);

  // a storage whose child tree holds the storage itself
  expectDamage(good, [&](Bytes& f) { setU32(f, entryOffset(f, 5) + 0x44, 4); }, "entry 4 is linked twice");
  expectDamage(good, [&](Bytes& f) { setU32(f, entryOffset(f, 0) + 0x4C, 999); },
               "root storage links to entry 999, out of range");
  expectDamage(good, [&](Bytes& f) { f[entryOffset(f, 3) + 0x42] = 0; }, "entry 3 in root storage is unused");
  expectDamage(good, [&](Bytes& f) { f[entryOffset(f, 0) + 0x42] = 1; }, "directory entry 0 is not the root storage");
  expectDamage(good, [&](Bytes& f) { f[entryOffset(f, 2) + 0x40] = 77; }, "bad name length");
  // "a" renamed to "B": two entries of the same name, ignoring case
  expectDamage(good, [&](Bytes& f) { f[entryOffset(f, 1)] = 'B'; }, "root storage holds two entries named");
}

TEST(HostileSizes, HugeDeclaredSizesFailBeforeAllocating) {
  expectDamage(sample(3), [&](Bytes& f) { setU32(f, entryOffset(f, 2) + 0x78, 0xFFFFF000); },
               "stream `b` declares 4294963200 bytes, more than the file's");
  expectDamage(sample(4), [&](Bytes& f) {
    setU32(f, entryOffset(f, 2) + 0x78, 0);
    setU32(f, entryOffset(f, 2) + 0x7C, 0x100);  // 2^40
  }, "declares 1099511627776 bytes");
  // a mini stream larger than the file
  expectDamage(sample(3), [&](Bytes& f) { setU32(f, entryOffset(f, 0) + 0x78, 0x7FFFFFFF); },
               "mini stream declares 2147483647 bytes");
}

TEST(HostileSizes, Version3IgnoresTheHighDwordOfSizes) {
  Bytes file = sample(3);
  setU32(file, entryOffset(file, 2) + 0x7C, 0xDEADBEEF);  // garbage some writers leave
  const auto r = Reader::fromBytes(file, kName);
  EXPECT_EQ(r->find({u"b"})->size, 10000u);
  EXPECT_EQ(r->read({u"b"}), cfbtest::pattern(10000, 2));
}

TEST(HostileTruncation, EveryCutGivesAnErrorOrTheRightContent) {
  for (const int version : {3, 4}) {
    const Bytes good = sample(version);
    const auto r = Reader::fromBytes(good, kName);
    const std::string expected = cfbtest::contentListing(*r);
    std::size_t errors = 0;
    for (std::size_t cut = 0; cut < good.size(); cut += (cut < 1024 ? 37 : 211)) {
      const Bytes head(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(cut));
      try {
        const auto t = Reader::fromBytes(head, kName);
        EXPECT_EQ(cfbtest::contentListing(*t), expected) << "cut at " << cut;
      } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()).rfind(kName + ": ", 0), 0u) << e.what();
        ++errors;
      }
    }
    EXPECT_GT(errors, 10u);
  }
  expectDamage(Bytes(300, 0), nullptr, "not a compound file");
}

TEST(HostileFixture, CorruptHeaderFollowedByXml) {
  FENNICK_REQUIRE_FIXTURES();
  const auto path = fennick::test::fixture("odd-wix3-testdata/corrupt-ole-header-then-xml.msi");
  const std::string message = errorOf([&] { Reader::open(path); });
  EXPECT_TRUE(message.starts_with(path.string() + ": ")) << message;
  EXPECT_TRUE(holds(message, {"unsupported format version"}));
}

TEST(HostileDirectory, DeepNestingIsWalkedWithoutRecursion) {
  // Ten thousand storages, each inside the previous: recursion per level would exhaust the
  // stack, here or in the writer.
  Path deep(10000, u"d");
  deep.push_back(u"leaf");
  Editor ed(Clsid{});
  ed.putStream(deep, cfbtest::pattern(5, 1));
  const auto path = fennick::test::scratchDir() / "deep.msi";
  ed.commit(path);
  const auto r = Reader::open(path);
  EXPECT_EQ(r->read(deep), cfbtest::pattern(5, 1));

  Bytes broken = cfbtest::readFile(path);  // cut the chain of storages half-way down
  setU32(broken, entryOffset(broken, 5000) + 0x4C, 999999);
  expectDamage(broken, nullptr, "links to entry 999999, out of range");
}

}  // namespace
