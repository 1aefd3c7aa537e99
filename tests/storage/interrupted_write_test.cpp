// Writes cut short at every point. For each write a commit or an output makes, a failure of
// that write (ENOSPC), or the machine stopping just before it, leaves the file as it was or as
// the uncut write leaves it, never a mix: msitools reads one of the two, and a file written
// whole is byte for byte one of the two. A failure leaves no temporary file behind.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "engine/cfb/compound_file.h"
#include "engine/db/database.h"
#include "engine/idt/idt.h"
#include "engine/mst/transform.h"
#include "tests/support/error_text.h"
#include "tests/support/msitools.h"
#include "tests/storage/faulty_file_system.h"
#include "tests/support/fixtures.h"

namespace {

using namespace fennick::test;
using storagetest::FaultyFileSystem;
using Fault = FaultyFileSystem::Fault;
namespace fs = std::filesystem;

const std::string kExample = "noui-wix37-with-transforms-psmsi/Example.msi";

// Changes the value of the first Property row, in memory.
void changeProperty(msi::Database& db) {
  msi::Table& props = db.table("Property");
  msi::Row row = props.row(0);
  row[1] = msi::Value("changed by an interrupted write");
  props.update(0, row);
}

struct Scenario {
  std::string name;
  std::string target;  // the file the write replaces or changes, in the scenario's folder
  bool wholeFile;      // written whole (then compared byte for byte too)
  bool package;        // msitools reads it as a package (else: no msitools check)
  // Puts the old target (and whatever else the write needs) into `folder`.
  std::function<void(const fs::path& folder)> prepare;
  std::function<void(const fs::path& folder, msi::cfb::FileSystem& files)> write;
};

std::vector<Scenario> scenarios() {
  return {
      {"in-place commit of a one-row change", "pkg.msi", false, true,
       [](const fs::path& dir) { fs::copy_file(fixture(kExample), dir / "pkg.msi"); },
       [](const fs::path& dir, msi::cfb::FileSystem& files) {
         auto db = msi::Database::open(dir / "pkg.msi", msi::OpenMode::Transact, files);
         changeProperty(*db);
         db->commit();
       }},
      {"whole-file rewrite in the other format version", "pkg.msi", true, true,
       [](const fs::path& dir) { fs::copy_file(fixture("ui-wix3-minimal-gaze/GazeToolbarInstall.msi"), dir / "pkg.msi"); },
       [](const fs::path& dir, msi::cfb::FileSystem& files) {
         msi::cfb::Editor ed(msi::cfb::Reader::open(dir / "pkg.msi"));
         ed.setVersion(3);
         ed.putStream({u"FennickNote"}, msi::cfb::Bytes(5000, 7));
         ed.commit(dir / "pkg.msi", files);
       }},
      {"transform output over an older transform", "out.mst", true, false,
       [](const fs::path& dir) {
         fs::copy_file(fixture("noui-wix37-with-transforms-psmsi/Example.mst"), dir / "out.mst");
       },
       [](const fs::path& dir, msi::cfb::FileSystem& files) {
         auto reference = msi::Database::open(fixture(kExample), msi::OpenMode::ReadOnly);
         auto changed = msi::Database::open(fixture(kExample), msi::OpenMode::ReadOnly);
         changeProperty(*changed);
         ASSERT_TRUE(msi::mst::generateTransform(*changed, *reference, dir / "out.mst", files));
       }},
      {"table archive over an older one", "Property.idt", true, false,
       [](const fs::path& dir) {
         auto db = msi::Database::open(fixture(kExample), msi::OpenMode::ReadOnly);
         msi::idt::exportTable(*db, "Property", dir, "Property.idt");
       },
       [](const fs::path& dir, msi::cfb::FileSystem& files) {
         auto db = msi::Database::open(fixture(kExample), msi::OpenMode::ReadOnly);
         changeProperty(*db);
         msi::idt::exportTable(*db, "Property", dir, "Property.idt", files);
       }},
  };
}

// What msitools reads in the file (with its exit statuses), or, for files it does not read,
// the bytes.
std::string view(const Scenario& s, const fs::path& file) {
  if (!s.package) return ReadText(file);
  const std::string q = shellQuote(file.string());
  const Command tables = run("msiinfo tables " + q);
  const Command property = run("msiinfo export " + q + " Property");
  const Command streams = run("msiinfo streams " + q);
  return std::to_string(tables.status) + "\n" + tables.out + std::to_string(property.status) + "\n" +
         property.out + std::to_string(streams.status) + "\n" + streams.out;
}

std::vector<std::string> temporaryFiles(const fs::path& dir) {
  std::vector<std::string> out;
  for (const auto& e : fs::directory_iterator(dir))
    if (e.path().extension() == ".tmp") out.push_back(e.path().filename().string());
  return out;
}

TEST(InterruptedWrite, EveryWriteCutShortLeavesTheOldFileOrTheNew) {
  FENNICK_REQUIRE_MSITOOLS();
  const fs::path root = scratchDir();
  for (const Scenario& s : scenarios()) {
    SCOPED_TRACE(s.name);
    const fs::path dir = root / "uncut";
    fs::create_directories(dir);
    s.prepare(dir);
    const std::string oldView = view(s, dir / s.target), oldBytes = ReadText(dir / s.target);
    FaultyFileSystem counter;
    s.write(dir, counter);
    const std::string newView = view(s, dir / s.target), newBytes = ReadText(dir / s.target);
    ASSERT_NE(oldView, newView);
    ASSERT_GT(counter.writes(), 1u);
    fs::remove_all(dir);

    for (const Fault fault : {Fault::Fail, Fault::Stop}) {
      for (std::size_t at = 0; at < counter.writes(); ++at) {
        SCOPED_TRACE((fault == Fault::Fail ? "failing write " : "stop before write ") + std::to_string(at) +
                     " of " + std::to_string(counter.writes()));
        const fs::path cut = root / "cut";
        fs::create_directories(cut);
        s.prepare(cut);
        FaultyFileSystem files(fault, at);
        bool threw = false;
        try {
          s.write(cut, files);
        } catch (const std::exception& e) {
          threw = true;
          // A stopped machine runs nothing after the stop, so only failures are reported, with
          // the file and the system's cause.
          if (fault == Fault::Fail) {
            EXPECT_TRUE(holds(e.what(), {s.target, std::strerror(files.error())}));
          }
        }
        EXPECT_TRUE(files.struck());
        const std::string now = view(s, cut / s.target);
        EXPECT_TRUE(now == oldView || now == newView) << now;
        if (s.wholeFile) {
          const std::string bytes = ReadText(cut / s.target);
          EXPECT_TRUE(bytes == oldBytes || bytes == newBytes);
        }
        if (fault == Fault::Stop && at == 0) {
          EXPECT_EQ(now, oldView);
        }
        if (fault == Fault::Fail) {
          EXPECT_EQ(temporaryFiles(cut), std::vector<std::string>{});
          // Only a failure nothing needs to report (the folder sync after the rename) goes
          // unreported, and then the new file is in place.
          if (!threw) {
            EXPECT_EQ(now, newView);
          }
        }
        fs::remove_all(cut);
      }
    }
  }
}

// A commit into the base file that fails part-way takes back the sectors it appended, and the
// same Editor, still holding its changes, commits once there is room.
TEST(InterruptedWrite, AFailedInPlaceCommitKeepsTheOldFileAndTheChanges) {
  FENNICK_REQUIRE_FIXTURES();
  const fs::path pkg = scratchCopy("ui-vsinstaller-filetype-small/fixture.msi", "full.msi");
  const std::string before = ReadText(pkg);
  const msi::cfb::Bytes payload(300000, 1);
  msi::cfb::Editor ed(msi::cfb::Reader::open(pkg));
  ed.putStream({u"Payload"}, payload);
  FaultyFileSystem full(Fault::Fail, 0);  // the new sectors' write stops half-way: the disk is full
  EXPECT_TRUE(holds(errorOf([&] { ed.commit(pkg, full); }), {pkg.string() + ": ", std::strerror(ENOSPC)}));
  EXPECT_TRUE(full.struck());
  EXPECT_TRUE(ReadText(pkg) == before);
  EXPECT_TRUE(ed.hasChanges());
  ed.commit(pkg);
  EXPECT_EQ(msi::cfb::Reader::open(pkg)->read({u"Payload"}), payload);
  if (haveMsitools()) {
    EXPECT_EQ(run("msiinfo tables " + shellQuote(pkg.string())).status, 0);
  }
}

}  // namespace
