// Transform summary information: what the installer reads before applying, compared with the
// summaries of the two Windows-made transforms.
#include <gtest/gtest.h>

#include <set>

#include "engine/cfb/compound_file.h"
#include "engine/mst/transform.h"
#include "tests/mst/mst_test_support.h"
#include "tests/support/error_text.h"
#include "tests/support/fixtures.h"

namespace {
namespace fs = std::filesystem;
using fennick::test::fixture;
using fennick::test::errorOf;
using fennick::test::holds;
using fennick::test::scratchDir;
using namespace fennick::mst_test;

msi::SummaryInfo summaryOf(const fs::path& file) {
  const auto reader = msi::cfb::Reader::open(file);
  return msi::SummaryInfo::parse(reader->read({u"\u0005SummaryInformation"}), file.string());
}

std::string text(const msi::SummaryValue& value) {
  if (const auto* s = std::get_if<std::string>(&value)) return *s;
  if (const auto* t = std::get_if<msi::FileTime>(&value)) return "time " + std::to_string(t->ticks);
  return std::to_string(std::get<std::int32_t>(value));
}

std::unique_ptr<msi::Database> product(const fs::path& path, const std::string& code, const std::string& version,
                                       const std::string& templ, int pageCount) {
  auto db = createDatabase(path, {{"ProductCode", code}, {"ProductVersion", version},
                                  {"UpgradeCode", "{99999999-9999-9999-9999-999999999999}"}});
  auto& p = db->summaryInfo().properties;
  p[msi::PID_CODEPAGE] = 1252;
  p[msi::PID_TITLE] = std::string("Installation Database");
  p[msi::PID_SUBJECT] = std::string("Demo");
  p[msi::PID_AUTHOR] = std::string("Maker");
  p[msi::PID_KEYWORDS] = std::string("Installer");
  p[msi::PID_COMMENTS] = std::string("Demo package");
  p[msi::PID_TEMPLATE] = templ;
  p[msi::PID_REVNUMBER] = std::string("{AAAAAAAA-AAAA-AAAA-AAAA-AAAAAAAAAAAA}");
  p[msi::PID_PAGECOUNT] = pageCount;
  db->summaryInfo().changed = true;
  db->commit();
  return db;
}

TEST(TransformSummary, FieldsFollowTheWindowsMadeTransforms) {
  const fs::path dir = scratchDir();
  auto base = product(dir / "base.msi", "{11111111-1111-1111-1111-111111111111}", "1.0.0", "Intel;1033", 200);
  auto changed = product(dir / "changed.msi", "{22222222-2222-2222-2222-222222222222}", "1.0.1", "Intel;1041", 300);
  setProperty(*changed, "Extra", "1");
  changed->commit();
  ASSERT_TRUE(msi::mst::generateTransform(*changed, *base, dir / "t.mst"));
  msi::mst::createTransformSummaryInfo(*changed, *base, dir / "t.mst", 0x1F, 0x0922, msi::FileTime{130000000000000000ull});
  const auto p = summaryOf(dir / "t.mst").properties;
  std::vector<std::string> fields;
  for (const auto& [pid, value] : p) fields.push_back(std::to_string(pid) + " " + text(value));
  EXPECT_EQ(fields, expected().at("summary"));
  EXPECT_EQ(msi::mst::storedErrorConditions(dir / "t.mst"), 0x1F);
  // The same fields as a Windows-made transform, no more and no fewer.
  if (!fennick::test::fixturesDir().empty()) {
    std::set<std::uint32_t> ours, theirs;
    for (const auto& [pid, value] : p) ours.insert(pid);
    for (const auto& [pid, value] : summaryOf(fixture("noui-wix37-with-transforms-psmsi/Example.mst")).properties)
      theirs.insert(pid);
    EXPECT_EQ(ours, theirs);
  }
  // The records are still there.
  auto copy = openCopy(dir / "base.msi", dir / "applied.msi");
  msi::mst::applyTransform(*copy, dir / "t.mst", 0);
  EXPECT_EQ(snapshot(*copy).at("Property"), snapshot(*changed).at("Property"));
}

TEST(TransformSummary, MissingProductCodeNamesTheDatabase) {
  const fs::path dir = scratchDir();
  auto base = product(dir / "base.msi", "{11111111-1111-1111-1111-111111111111}", "1.0.0", "Intel;1033", 200);
  auto changed = createDatabase(dir / "changed.msi", {{"ProductVersion", "1.0.0"}});
  changed->commit();
  ASSERT_TRUE(msi::mst::generateTransform(*changed, *base, dir / "t.mst"));
  EXPECT_TRUE(holds(errorOf([&] { msi::mst::createTransformSummaryInfo(*changed, *base, dir / "t.mst", 0, 0); }),
                    {(dir / "changed.msi").string() + ": the Property table has no ProductCode"}));
  EXPECT_THROW(msi::mst::createTransformSummaryInfo(*base, *base, dir / "t.mst", 0x40, 0), msi::Error);
  EXPECT_THROW(msi::mst::createTransformSummaryInfo(*base, *base, dir / "t.mst", 0, 0x1000), msi::Error);
}

}  // namespace
