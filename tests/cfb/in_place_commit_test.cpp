// Commits into the base file itself: cost, the same content as a whole write, reuse of freed
// sectors, growth into DIFAT sectors, a file changed by someone else, and msitools reading
// the result.
#include <gtest/gtest.h>

#include <fstream>

#include "engine/cfb/compound_file.h"
#include "tests/cfb/cfb_test_support.h"
#include "tests/support/error_text.h"
#include "tests/support/fixtures.h"
#include "tests/support/msitools.h"

namespace {

using namespace msi::cfb;
using cfbtest::pattern;
using fennick::test::errorOf;
using fennick::test::holds;
namespace fs = std::filesystem;
using fennick::test::scratchCopy;

// The root stream whose content is what `msiinfo extract` gives for `name` (stream names are
// mangled in the file, so they are matched by content).
std::u16string streamNamed(const fs::path& pkg, const std::string& name) {
  const std::string theirs = fennick::test::msiinfo("extract", pkg, name);
  const auto r = Reader::open(pkg);
  for (const auto& e : r->list())
    if (e.kind == EntryKind::Stream && e.size == theirs.size()) {
      const Bytes ours = r->read({e.name});
      if (std::string(ours.begin(), ours.end()) == theirs) return e.name;
    }
  return {};
}

std::size_t bytesThatDiffer(const Bytes& before, const Bytes& after) {
  std::size_t n = 0;
  for (std::size_t i = 0; i < before.size() && i < after.size(); ++i) n += before[i] != after[i];
  return n;
}

// The largest root stream of a package: a multi-sector stream to patch.
EntryInfo largestStream(const fs::path& pkg) {
  EntryInfo best;
  for (const auto& e : Reader::open(pkg)->list())
    if (e.kind == EntryKind::Stream && e.size > best.size) best = e;
  return best;
}

// In a 2.8 MB package, replacing one stream and then patching another each cost about that
// stream: the file grows by the new data plus a few allocation and directory sectors, and
// only the header and those sectors change inside the old extent. msitools reads the new
// content and the same tables.
TEST(InPlaceCommit, ReplacingOrPatchingOneStreamCostsAboutThatStream) {
  FENNICK_REQUIRE_MSITOOLS();
  const auto pkg = scratchCopy("ui-wix3-putty-installdir-featuretree/putty-0.68-installer.msi", "putty.msi");
  const std::u16string bitmap = streamNamed(pkg, "Binary.WixUI_Bmp_Up");
  const EntryInfo big = largestStream(pkg);
  ASSERT_FALSE(bitmap.empty());
  ASSERT_GT(big.size, 20000u);
  const std::string tablesBefore = cfbtest::msitoolsView(pkg);
  Bytes before = cfbtest::readFile(pkg);
  const Bytes replacement = pattern(20000, 5);

  Editor ed(Reader::open(pkg));
  ed.putStream({bitmap}, replacement);
  ed.commit(pkg);
  EXPECT_FALSE(ed.hasChanges());
  Bytes after = cfbtest::readFile(pkg);
  EXPECT_GE(after.size(), before.size());
  EXPECT_LE(after.size(), before.size() + replacement.size() + 8 * 512);
  EXPECT_LE(bytesThatDiffer(before, after), 8u * 512);
  const std::string extracted = fennick::test::msiinfo("extract", pkg, "Binary.WixUI_Bmp_Up");
  EXPECT_TRUE(extracted == std::string(replacement.begin(), replacement.end()));

  // Patches write at most three data sectors, the FAT sectors that map them, and the header.
  before = after;
  Bytes expected = Reader::open(pkg)->read({big.name});
  const std::uint64_t middle = big.size / 2 - 1;  // may straddle two sectors
  const Bytes first = {0xDE, 0xAD, 0xBE, 0xEF}, last = {0x42, 0x43};
  ed.patchStream({big.name}, middle, first);
  ed.patchStream({big.name}, big.size - last.size(), last);
  ed.patchStream({big.name}, middle + 1, {0x77});  // later patches win
  std::copy(first.begin(), first.end(), expected.begin() + static_cast<std::ptrdiff_t>(middle));
  std::copy(last.begin(), last.end(), expected.end() - static_cast<std::ptrdiff_t>(last.size()));
  expected[middle + 1] = 0x77;
  ed.commit(pkg);
  after = cfbtest::readFile(pkg);
  EXPECT_LE(bytesThatDiffer(before, after), 8u * 512);
  EXPECT_LE(after.size(), before.size() + 8 * 512);
  EXPECT_EQ(Reader::open(pkg)->read({big.name}), expected);
  EXPECT_EQ(cfbtest::msitoolsView(pkg), tablesBefore) << "binary streams may change, tables may not";

  // The same patch committed into another file writes it whole, patch included.
  const auto other = pkg.parent_path() / "patch-copy.msi";
  Editor again(Reader::open(pkg));
  again.patchStream({big.name}, 0, {1, 2, 3});
  again.commit(other);
  expected[0] = 1, expected[1] = 2, expected[2] = 3;
  EXPECT_EQ(Reader::open(other)->read({big.name}), expected);
  EXPECT_NE(Reader::open(pkg)->read({big.name}), expected);
}

// The part of msitools' view that shows the tables (not the stream list or summary).
std::string tablesView(const fs::path& pkg) {
  const std::string view = cfbtest::msitoolsView(pkg);
  return view.substr(0, view.find("\nstreams:\n"));
}

// An in-place commit and a whole-file write of the same changes hold the same content, and
// the tables stay readable throughout.
TEST(InPlaceCommit, SameContentAsAWholeWriteForEveryKindOfChange) {
  FENNICK_REQUIRE_FIXTURES();
  const std::u16string summary = u"\u0005SummaryInformation";
  for (const std::string relative : {"odd-wix3-testdata/nondefault-lang1040.msi",        // v3
                                     "noui-wix37-with-transforms-psmsi/Example.msi"}) {  // v4
    SCOPED_TRACE(relative);
    const auto original = fennick::test::fixture(relative);
    const auto pkg = scratchCopy(relative, "inplace.msi");
    const auto whole = pkg.parent_path() / "whole.msi";
    const auto mst = Reader::open(fennick::test::fixture("noui-wix37-with-transforms-psmsi/Example.mst"));
    const Bytes summaryBytes = Reader::open(pkg)->read({summary});
    const auto apply = [&](Editor& ed) {
      // Rewrite every table stream with its own content: new sectors, same tables.
      for (const auto& e : ed.base()->list())
        if (e.kind == EntryKind::Stream && e.name != summary)
          ed.putStream({e.name}, ed.base()->read({e.name}));
      ed.remove({summary});
      ed.putStream({u"NewSmall"}, pattern(700, 3));
      ed.putStream({u"NewLarge"}, pattern(50000, 4));
      ed.putStream({u"Empty"}, {});
      ed.copyStorage(*mst, {}, {u"#Transform"});
      ed.putStorage({u"Bare"}, Clsid{7});
    };
    Editor inPlace(Reader::open(pkg));
    apply(inPlace);
    Editor copy(Reader::open(pkg));
    apply(copy);
    copy.commit(whole);
    inPlace.commit(pkg);
    EXPECT_EQ(cfbtest::contentListing(*Reader::open(pkg)), cfbtest::contentListing(*Reader::open(whole)));

    // A second round on the committed file: undo most of the first.
    Editor again(Reader::open(pkg));
    again.remove({u"NewLarge"});
    again.remove({u"#Transform"});
    again.putStream({u"NewSmall"}, pattern(5000, 6));  // small grows past the cutoff
    again.putStream({summary}, summaryBytes);
    again.commit(pkg);
    const auto r = Reader::open(pkg);
    EXPECT_FALSE(r->find({u"NewLarge"}));
    EXPECT_FALSE(r->find({u"#Transform"}));
    EXPECT_EQ(r->read({u"NewSmall"}), pattern(5000, 6));
    EXPECT_EQ(r->find({u"Bare"})->clsid, Clsid{7});
    if (fennick::test::haveMsitools()) {
      EXPECT_EQ(tablesView(pkg), tablesView(original));
      EXPECT_EQ(fennick::test::msiinfo("suminfo", pkg), fennick::test::msiinfo("suminfo", original));
    }
    fs::remove(whole);
    fs::remove(pkg);
  }
}

TEST(InPlaceCommit, RepeatedCommitsReuseFreedSectors) {
  const auto path = fennick::test::scratchDir() / "repeat.msi";
  Editor first(Clsid{});
  first.putStream({u"data"}, pattern(100000, 0));
  first.putStream({u"other"}, pattern(1000, 0));
  first.commit(path);
  Editor ed(Reader::open(path));
  for (unsigned round = 1; round <= 10; ++round) {
    ed.putStream({u"data"}, pattern(100000, round));
    ed.putStream({u"other"}, pattern(1000, round));
    ed.commit(path);
  }
  // Each commit needs the previous copy intact, so at most two copies live at once.
  EXPECT_LE(fs::file_size(path), 2u * 100000 + 20 * 512);
  const auto r = Reader::open(path);
  EXPECT_EQ(r->read({u"data"}), pattern(100000, 10));
  EXPECT_EQ(r->read({u"other"}), pattern(1000, 10));
}

// Past the header's 109 FAT sectors the FAT is listed in DIFAT sectors, in place and in a
// whole write; msitools reads both, and removing the stream again gives the old content.
TEST(InPlaceCommit, GrowingPastTheFatIntoDifatSectors) {
  FENNICK_REQUIRE_FIXTURES();
  const auto original = fennick::test::fixture("odd-wix3-testdata/he-il-codepage1255.msi");  // v3, 1 FAT sector
  const auto pkg = scratchCopy("odd-wix3-testdata/he-il-codepage1255.msi", "grow.msi");
  const auto whole = pkg.parent_path() / "whole.msi";
  const std::string content = cfbtest::contentListing(*Reader::open(pkg));
  Editor ed(Reader::open(pkg));
  const Bytes big = pattern(8 << 20, 1);
  ed.putStream({u"Huge"}, big);
  ed.commit(pkg);
  Editor(Reader::open(pkg)).commit(whole);
  for (const auto& file : {pkg, whole}) {
    SCOPED_TRACE(file.filename().string());
    EXPECT_GT(cfbtest::u32(cfbtest::readFile(file), 0x48), 0u);
    EXPECT_EQ(Reader::open(file)->read({u"Huge"}), big);
    if (!fennick::test::haveMsitools()) continue;
    EXPECT_TRUE(fennick::test::msiinfo("extract", file, "Huge") == std::string(big.begin(), big.end()));
    std::string view = cfbtest::msitoolsView(file);
    ASSERT_NE(view.find("\nHuge\n"), std::string::npos);
    EXPECT_EQ(view.erase(view.find("\nHuge\n"), 5), cfbtest::msitoolsView(original));
  }

  Editor shrink(Reader::open(pkg));
  shrink.remove({u"Huge"});
  shrink.commit(pkg);
  EXPECT_EQ(cfbtest::contentListing(*Reader::open(pkg)), content);
  if (fennick::test::haveMsitools()) {
    EXPECT_EQ(cfbtest::msitoolsView(pkg), cfbtest::msitoolsView(original));
  }
}

TEST(InPlaceCommit, RefusesAFileChangedOnDiskSinceItWasOpened) {
  FENNICK_REQUIRE_FIXTURES();
  const auto pkg = scratchCopy("noui-wixl-osslsigncode/unsigned.msi", "moved.msi");
  Editor ed(Reader::open(pkg));
  ed.putStream({u"x"}, pattern(10, 1));
  const std::string bytes = fennick::test::ReadText(pkg) + std::string(512, '\0');
  std::ofstream(pkg, std::ios::binary) << bytes;  // same file, rewritten by someone else
  EXPECT_TRUE(holds(errorOf([&] { ed.commit(pkg); }), {"changed on disk"}));
  EXPECT_TRUE(fennick::test::ReadText(pkg) == bytes);
}

}  // namespace
