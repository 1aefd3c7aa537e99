// Reading real packages made by several authoring tools, in both format versions. (Their
// streams byte for byte against msitools: MsitoolsCli.StreamsAndExtractAgreeWithMsiinfo.)
#include <gtest/gtest.h>

#include <set>

#include "engine/cfb/compound_file.h"
#include "engine/cfb/entry_name.h"
#include "tests/cfb/cfb_test_support.h"
#include "tests/support/fixtures.h"

namespace {

using namespace msi::cfb;
using fennick::test::fixture;
using fennick::test::fixturePackages;
using cfbtest::kDatabaseClsid;
using cfbtest::kTransformClsid;

// Walks every storage, reads every stream, and checks what a reader promises about each.
void checkTree(const Reader& r, const Path& storage, std::size_t& streams) {
  const auto children = r.list(storage);
  for (std::size_t i = 0; i < children.size(); ++i) {
    const EntryInfo& e = children[i];
    // Directory order is the tree's in-order walk; a correctly built file is sorted by the
    // format's name order, so this checks the tree walk against real writers.
    if (i > 0) {
      EXPECT_LT(compareNames(children[i - 1].name, e.name), 0) << displayName(e.name);
    }
    Path path = storage;
    path.push_back(e.name);
    const auto found = r.find(path);
    ASSERT_TRUE(found.has_value()) << displayPath(path);
    EXPECT_EQ(found->kind, e.kind);
    if (e.kind == EntryKind::Storage) {
      checkTree(r, path, streams);
    } else {
      EXPECT_EQ(r.read(path).size(), e.size) << displayPath(path);
      ++streams;
    }
  }
}

// Every package, and the two Windows-made transforms, which have the transform class.
TEST(ReaderFixtures, EveryPackageAndTransformListsAndReadsCompletely) {
  FENNICK_REQUIRE_FIXTURES();
  auto files = fixturePackages();
  ASSERT_GE(files.size(), 10u);
  files.push_back(fixture("noui-wix37-with-transforms-psmsi/Example.mst"));
  files.push_back(fixture("noui-wix37-with-transforms-psmsi/Example.jpn.mst"));
  std::set<int> versions;
  for (const auto& file : files) {
    SCOPED_TRACE(file.string());
    const auto r = Reader::open(file);
    versions.insert(r->version());
    EXPECT_EQ(r->rootClsid(), file.extension() == ".mst" ? kTransformClsid : kDatabaseClsid);
    std::size_t streams = 0;
    checkTree(*r, {}, streams);
    EXPECT_GT(streams, 3u);
    // Every file carries summary information under its unmangled name.
    const auto summary = r->find({u"\u0005SummaryInformation"});
    ASSERT_TRUE(summary.has_value());
    EXPECT_EQ(summary->kind, EntryKind::Stream);
  }
  EXPECT_EQ(versions, (std::set<int>{3, 4}));  // the fixtures hold both sector sizes
}

TEST(ReaderLookups, NamesCompareCaseInsensitively) {
  FENNICK_REQUIRE_FIXTURES();
  const auto r = Reader::open(fixture("ui-wix3-minimal-gaze/GazeToolbarInstall.msi"));
  const auto exact = r->find({u"\u0005SummaryInformation"});
  const auto upper = r->find({u"\u0005SUMMARYINFORMATION"});
  const auto lower = r->find({u"\u0005summaryinformation"});
  ASSERT_TRUE(exact && upper && lower);
  EXPECT_EQ(upper->name, u"\u0005SummaryInformation");  // the stored spelling comes back
  EXPECT_EQ(lower->size, exact->size);
  EXPECT_FALSE(r->find({u"\u0005SummaryInformatio"}));
  EXPECT_FALSE(r->find({u"\u0005SummaryInformation", u"child"}));  // a stream has no children

  EXPECT_EQ(compareNames(u"\u00e9t\u00e9", u"\u00c9T\u00c9"), 0);
  EXPECT_GT(compareNames(u"_", u"a"), 0);  // '_' (0x5F) sorts after 'A' (0x41) once upper-cased
}

}  // namespace
