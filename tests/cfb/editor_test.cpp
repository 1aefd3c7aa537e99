// Writing whole files: round trips, bad names, embedded storages, and msitools reading our output.
#include <gtest/gtest.h>

#include "engine/cfb/compound_file.h"
#include "engine/cfb/entry_name.h"
#include "tests/cfb/cfb_test_support.h"
#include "tests/support/fixtures.h"
#include "tests/support/msitools.h"

namespace {

using namespace msi::cfb;
using cfbtest::kDatabaseClsid;
using cfbtest::pattern;

TEST(EditorNewFile, EverySizeAroundTheSectorAndCutoffBoundariesRoundTrips) {
  const std::size_t sizes[] = {0, 1, 63, 64, 65, 511, 512, 513, 4095, 4096, 4097, 70000};
  for (const int version : {3, 4}) {
    SCOPED_TRACE(version);
    Editor ed(kDatabaseClsid);
    ed.setVersion(version);
    Clsid storageClsid{};
    storageClsid[0] = 0x42;
    ed.putStorage({u"Nested"}, storageClsid);
    for (std::size_t i = 0; i < std::size(sizes); ++i) {
      const std::u16string name = u"s" + std::u16string(1, static_cast<char16_t>(u'A' + i));
      ed.putStream({name}, pattern(sizes[i], static_cast<unsigned>(i)));
      ed.putStream({u"Nested", u"Deeper", name}, pattern(sizes[i], static_cast<unsigned>(i + 100)));
    }
    const auto path = fennick::test::scratchDir() / "new.msi";
    ed.commit(path);

    const auto r = Reader::open(path);
    EXPECT_EQ(r->version(), version);
    EXPECT_EQ(r->rootClsid(), kDatabaseClsid);
    EXPECT_EQ(cfbtest::readFile(path).size() % (version == 3 ? 512 : 4096), 0u);
    EXPECT_EQ(r->find({u"Nested"})->clsid, storageClsid);
    for (std::size_t i = 0; i < std::size(sizes); ++i) {
      const std::u16string name = u"s" + std::u16string(1, static_cast<char16_t>(u'A' + i));
      EXPECT_EQ(r->read({name}), pattern(sizes[i], static_cast<unsigned>(i))) << sizes[i];
      EXPECT_EQ(r->read({u"Nested", u"Deeper", name}), pattern(sizes[i], static_cast<unsigned>(i + 100)));
    }
    // Our own tree must list in the format's name order.
    const auto list = r->list();
    for (std::size_t i = 1; i < list.size(); ++i) EXPECT_LT(compareNames(list[i - 1].name, list[i].name), 0);
  }
}

TEST(EditorNewFile, BadNamesAndKindClashesAreRefused) {
  Editor ed(Clsid{});
  EXPECT_THROW(ed.putStream({u"a/b"}, {}), Error);
  EXPECT_THROW(ed.putStream({std::u16string(32, u'x')}, {}), Error);
  EXPECT_NO_THROW(ed.putStream({std::u16string(31, u'x')}, {}));
  EXPECT_THROW(ed.putStream({u""}, {}), Error);
  EXPECT_THROW(ed.putStream({}, {}), Error);
  ed.putStream({u"stream"}, {1, 2, 3});
  EXPECT_THROW(ed.putStorage({u"STREAM"}), Error);
  EXPECT_THROW(ed.putStream({u"stream", u"child"}, {}), Error);
  ed.putStorage({u"store"});
  EXPECT_THROW(ed.putStream({u"Store"}, {}), Error);
  EXPECT_THROW(ed.remove({}), Error);
  EXPECT_NO_THROW(ed.remove({u"absent", u"deeper"}));
}

TEST(EditorEdits, ReplaceRemoveAndEmbedATransformAsASubStorage) {
  FENNICK_REQUIRE_FIXTURES();
  const auto base = Reader::open(fennick::test::fixture("noui-wix37-with-transforms-psmsi/Example.msi"));
  const auto mst = Reader::open(fennick::test::fixture("noui-wix37-with-transforms-psmsi/Example.mst"));
  const auto first = base->list().front();
  const auto summary = base->read({u"\u0005SummaryInformation"});

  Editor ed(base);
  ed.copyStorage(*mst, {}, {u"Embedded"});
  ed.remove({first.name});
  ed.putStream({u"Added"}, pattern(5000, 1));
  const auto path = fennick::test::scratchDir() / "edited.msi";
  ed.commit(path);

  const auto r = Reader::open(path);
  EXPECT_EQ(r->version(), base->version());  // a v4 base stays v4
  EXPECT_FALSE(r->find({first.name}));
  EXPECT_EQ(r->read({u"Added"}), pattern(5000, 1));
  EXPECT_EQ(r->read({u"\u0005SummaryInformation"}), summary);
  const auto embedded = r->find({u"Embedded"});
  ASSERT_TRUE(embedded);
  EXPECT_EQ(embedded->kind, EntryKind::Storage);
  EXPECT_EQ(embedded->clsid, mst->rootClsid());
  EXPECT_EQ(cfbtest::contentListing(*r, {u"Embedded"}), cfbtest::contentListing(*mst));

  // A nested storage copies out again as a file of its own.
  Editor out(Clsid{});
  out.copyStorage(*r, {u"Embedded"}, {});
  out.commit(path.parent_path() / "extracted.mst");
  const auto extracted = Reader::open(path.parent_path() / "extracted.mst");
  EXPECT_EQ(extracted->rootClsid(), mst->rootClsid());
  EXPECT_EQ(cfbtest::contentListing(*extracted), cfbtest::contentListing(*mst));
}

// The peer check: msitools must read our copy of every fixture exactly as it reads the original.
TEST(EditorPeer, MsitoolsReadsOurCopiesOfEveryFixtureLikeTheOriginals) {
  FENNICK_REQUIRE_MSITOOLS();
  const auto dir = fennick::test::scratchDir();
  for (const auto& pkg : fennick::test::fixturePackages()) {
    SCOPED_TRACE(pkg.string());
    const auto original = Reader::open(pkg);
    // Every stream put anew, into a new v3 file...
    Editor fresh(original->rootClsid());
    fresh.copyStorage(*original, {}, {});
    const auto copy = dir / ("copy" + pkg.extension().string());
    fresh.commit(copy);
    // ...and the base carried over whole, in the base's own version.
    const auto kept = dir / ("kept" + pkg.extension().string());
    Editor(original).commit(kept);

    const std::string theirs = cfbtest::msitoolsView(pkg);
    ASSERT_NE(theirs.find("tables (status 0)"), std::string::npos) << theirs.substr(0, 300);
    EXPECT_EQ(cfbtest::msitoolsView(copy), theirs);
    EXPECT_EQ(Reader::open(copy)->version(), 3);
    EXPECT_EQ(Reader::open(kept)->version(), original->version());
    if (original->version() == 3) {
      // Both are whole v3 writes of the same content, so they are the same bytes.
      EXPECT_EQ(cfbtest::readFile(kept), cfbtest::readFile(copy));
    } else {
      EXPECT_EQ(cfbtest::msitoolsView(kept), theirs);
    }
    EXPECT_EQ(cfbtest::contentListing(*Reader::open(copy)), cfbtest::contentListing(*original));
  }
}

}  // namespace
