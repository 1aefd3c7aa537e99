// fennick-msi's packaging commands checked against other readers: every --json document
// parses with Python's JSON parser and says what the text output says; diff lists what the
// applied transform shows; summary edits read back through msitools. (Streams and extract
// against msitools: msitools_peer_test.cpp.)
#include <gtest/gtest.h>

#include <fstream>

#include "tests/support/msitools.h"
#include "tests/peer/process.h"
#include "tests/support/fixtures.h"

namespace fennick::test {
namespace {

namespace fs = std::filesystem;
using peer::outputOf;
using peer::runProcess;

const std::string kCli = FENNICK_MSI_CLI;

// Runs Python's JSON parser over `json`, then `program` (Python reading the parsed document
// as `d`) and returns what it prints; a failed parse or program is a test failure.
std::string WithPython(const fs::path& scratch, const std::string& json, const std::string& program) {
  const fs::path file = scratch / "doc.json";
  std::ofstream(file, std::ios::binary) << json;
  // e(): a field escaped as the text output escapes it.
  const std::string code = R"(import json, sys
def e(s): return s.replace('\\', '\\\\').replace('\t', '\\t').replace('\n', '\\n').replace('\r', '\\r')
d = json.load(open(sys.argv[1], encoding='utf-8', errors='strict'))
)" + program;
  const auto r = runProcess({"python3", "-c", code, file.string()}, scratch);
  EXPECT_EQ(r.exitCode, 0) << r.err << "\n" << json.substr(0, 400);
  return r.out;
}

// A copy of a fixture the test may change.
fs::path Copy(const fs::path& pkg, const fs::path& to) {
  fs::copy_file(pkg, to, fs::copy_options::overwrite_existing);
  fs::permissions(to, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::add);
  return to;
}

TEST(MsitoolsCli, EveryJsonOutputParsesAndSaysWhatTheTextSays) {
  FENNICK_REQUIRE_MSITOOLS();
  const auto scratch = scratchDir();
  // Command, and Python printing the document as the text output prints it (where it can).
  struct Case {
    std::vector<std::string> args;  // after the command name; PKG stands for the package
    std::string asText;
  };
  const std::vector<Case> cases = {
      {{"tables", "PKG"}, "for t in d: print(e(t))"},
      {{"streams", "PKG"}, "for s in d: print(e(s['name']) + '\\t' + str(s['size']))"},
      {{"summary", "PKG"}, "for p in d: print(str(p['id']) + '\\t' + p['name'] + '\\t' + e(str(p['value'])))"},
      {{"query", "PKG", "SELECT `Property`, `Value` FROM `Property`"}, "for r in d['rows']: print('\\t'.join(e(c) for c in r))"},
      // Binary cells name their streams: no output expected.
      {{"query", "PKG", "SELECT `Name`, `Data` FROM `Binary`"},
       "check:for r in d['rows']:\n  if r[1] != 'Binary.' + r[0]: print(r)"},
      {{"query", "PKG", "SELECT * FROM `_Streams`"}, "check:for r in d['rows']:\n  if r[1] != r[0]: print(r)"},
      {{"session", "PKG"},
       "print('sequence\\t' + str(d['sequence']))\nfor f in d['features']: print('feature\\t' + e(f['name']) + '\\t' + f['state'])"},
  };
  for (const auto& pkg : fixturePackages()) {
    for (const Case& c : cases) {
      std::vector<std::string> argv = {kCli};
      for (const auto& a : c.args) argv.push_back(a == "PKG" ? pkg.string() : a);
      SCOPED_TRACE(pkg.filename().string() + ": " + c.args[0] + " " + c.args.back());
      const auto text = runProcess(argv, scratch);
      argv.push_back("--json");
      const auto json = runProcess(argv, scratch);
      ASSERT_EQ(json.exitCode, text.exitCode) << json.err;
      if (text.exitCode != 0 && c.args[0] != "session") continue;  // e.g. a package without that table
      const bool check = c.asText.starts_with("check:");
      const std::string parsed = WithPython(scratch, json.out, check ? c.asText.substr(6) : c.asText);
      if (check) {
        EXPECT_EQ(parsed, "");
      } else if (c.args[0] == "session") {
        std::string expected;
        for (const auto& line : lines(text.out))
          if (line.starts_with("sequence\t") || line.starts_with("feature\t")) expected += line + "\n";
        EXPECT_EQ(parsed, expected);
      } else {
        EXPECT_EQ(parsed, text.out);
      }
    }
  }
}

TEST(MsitoolsCli, JsonOfRealTransformsParses) {
  FENNICK_REQUIRE_MSITOOLS();
  const auto scratch = scratchDir();
  const auto base = fixture("noui-wix37-with-transforms-psmsi/Example.msi");
  for (const char* name : {"Example.mst", "Example.jpn.mst"}) {
    const auto mst = fixture(std::string("noui-wix37-with-transforms-psmsi/") + name);
    for (const bool withBase : {false, true}) {
      std::vector<std::string> argv = {kCli, "transform", "show", mst.string()};
      if (withBase) argv.push_back(base.string());
      const std::string text = outputOf(argv, scratch);
      argv.push_back("--json");
      // As many changes as text lines, binary cells named by their stream, not described.
      const std::string out = WithPython(scratch, outputOf(argv, scratch),
                                         "print(len(d))\n"
                                         "for c in d:\n"
                                         "  if c['new'].startswith('[binary'): print('undescribed binary cell', c)\n");
      EXPECT_EQ(out, std::to_string(lines(text).size()) + "\n") << name;
    }
  }
}

TEST(MsitoolsCli, JsonEscapesWhatPythonReadsBack) {
  FENNICK_REQUIRE_MSITOOLS();
  const auto scratch = scratchDir();
  const fs::path pkg = Copy(fixture("noui-wix311-nofeature-jsign/minimal.msi"), scratch / "minimal.msi");
  const std::vector<std::string> values = {"tab\there", "line\nfeed\r\n", "quote \" and \\ backslash",
                                           "control \x01\x1f\x7f", "Grüße, à bientôt"};  // codepage 0 is 1252
  for (std::size_t i = 0; i < values.size(); ++i) {
    const std::string name = "TestValue" + std::to_string(i);
    // Values go in through a query parameter-free INSERT; quotes in SQL text are doubled.
    std::string literal;
    for (char ch : values[i]) literal += ch == '\'' ? std::string("''") : std::string(1, ch);
    outputOf({kCli, "query", pkg.string(),
              "INSERT INTO `Property` (`Property`, `Value`) VALUES ('" + name + "', '" + literal + "')"},
             scratch);
    const std::string json = outputOf(
        {kCli, "query", pkg.string(), "SELECT `Value` FROM `Property` WHERE `Property` = '" + name + "'", "--json"}, scratch);
    EXPECT_EQ(WithPython(scratch, json, "sys.stdout.buffer.write(d['rows'][0][0].encode('utf-8'))"), values[i]) << json;
  }
}

// Extract refuses the package itself and unknown streams; a corrupt package is named in the
// error; wrong usage is status 2.
TEST(MsitoolsCli, CommandsRefuseWhatTheyCannotDo) {
  FENNICK_REQUIRE_FIXTURES();
  const auto scratch = scratchDir();
  const fs::path pkg = Copy(fixture("ui-wix3-minimal-gaze/GazeToolbarInstall.msi"), scratch / "gaze.msi");
  const std::string before = ReadText(pkg);
  const std::string corrupt = fixture("odd-wix3-testdata/corrupt-ole-header-then-xml.msi").string();
  fs::create_directories(scratch / "sub");
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string named = "";  // what the error must name
  };
  const std::vector<Case> cases = {
      {{"extract", pkg.string(), "cab1.cab", pkg.string()}, 2},
      {{"extract", pkg.string(), "cab1.cab", (scratch / "sub" / ".." / "gaze.msi").string()}, 2},
      {{"extract", pkg.string(), "cab1.cab", (scratch / "sub").string()}, 2},
      {{"extract", pkg.string(), "NoSuchStream"}, 4},
      {{"extract", pkg.string(), "Property"}, 4},  // a table, not a stream
      {{"tables", (scratch / "absent.msi").string()}, 4},
      {{"streams", corrupt}, 1},
      {{"tables", corrupt}, 1, corrupt},
      {{"summary", corrupt}, 1, corrupt},
      {{"tables"}, 2},
  };
  for (const Case& c : cases) {
    std::vector<std::string> argv = {kCli};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    const auto r = runProcess(argv, scratch);
    EXPECT_EQ(r.exitCode, c.status) << c.args.front() << " " << c.args.back() << ": " << r.err;
    EXPECT_FALSE(r.err.empty());
    EXPECT_NE(r.err.find(c.named), std::string::npos) << r.err;
  }
  EXPECT_TRUE(ReadText(pkg) == before);
  for (const auto& e : fs::directory_iterator(scratch))
    EXPECT_FALSE(e.path().filename().string().starts_with(".")) << "left behind: " << e.path();
}

// Changes made with queries (and a binary cell through an archive), a transform of them
// generated, applied to the fixture: diff of the fixture and the result lists what show
// lists for the transform, and so does diff of the fixture and the changed copy.
TEST(MsitoolsCli, DiffOfAPackageAndItsAppliedTransformListsWhatShowLists) {
  FENNICK_REQUIRE_MSITOOLS();
  const auto scratch = scratchDir();
  const std::vector<std::string> packages = {"ui-wix3-putty-installdir-featuretree/putty-0.68-installer.msi",
                                             "ui-wix3-minimal-gaze/GazeToolbarInstall.msi",
                                             "ui-pymsilib-irida-pythonfeatures/iridaUploader-0.1.win32.msi"};
  const std::vector<std::string> edits = {
      "UPDATE `Property` SET `Value` = 'Changed name' WHERE `Property` = 'ProductName'",
      "INSERT INTO `Property` (`Property`, `Value`) VALUES ('FENNICK_TEST', 'a\tb\\c')",
      "DELETE FROM `Property` WHERE `Property` = 'Manufacturer'",
  };
  for (const auto& name : packages) {
    SCOPED_TRACE(name);
    const fs::path a = Copy(fixture(name), scratch / "a.msi");
    const fs::path b = Copy(fixture(name), scratch / "b.msi");
    for (const auto& sql : edits) outputOf({kCli, "query", b.string(), sql}, scratch);
    // One binary cell gets other bytes, where the package has a Binary table.
    const fs::path archive = scratch / "archive";
    fs::remove_all(archive);
    bool binary = false;
    if (runProcess({kCli, "export", b.string(), archive.string(), "Binary"}, scratch).exitCode == 0 &&
        fs::is_directory(archive / "Binary")) {
      const fs::path cell = fs::directory_iterator(archive / "Binary")->path();
      std::ofstream(cell, std::ios::binary | std::ios::trunc) << "other bytes";
      outputOf({kCli, "import", b.string(), archive.string(), "Binary.idt"}, scratch);
      binary = true;
    }
    const fs::path mst = scratch / "c.mst", applied = scratch / "d.msi";
    outputOf({kCli, "transform", "generate", b.string(), a.string(), mst.string()}, scratch);
    outputOf({kCli, "transform", "apply", a.string(), mst.string(), applied.string()}, scratch);
    const std::string shown = outputOf({kCli, "transform", "show", mst.string(), a.string()}, scratch);
    ASSERT_NE(shown.find("Changed name"), std::string::npos) << shown;
    EXPECT_EQ(shown.find("[binary") != std::string::npos, binary) << shown;
    for (const fs::path& changed : {applied, b})
      EXPECT_EQ(outputOf({kCli, "diff", a.string(), changed.string()}, scratch), shown) << changed.filename();
    const std::string printed = WithPython(scratch, outputOf({kCli, "diff", a.string(), applied.string(), "--json"}, scratch),
                                           "for c in d: print(c['operation'], c['table'], c['key'], c['column'], "
                                           "c['table'] + '.' + c['key'] == c['new'])");
    EXPECT_EQ(lines(printed).size(), lines(shown).size());
    // A binary cell's new value is its stream's name; a text one is its text.
    for (const auto& line : lines(printed))
      EXPECT_EQ(line.ends_with("True"), line.starts_with("update Binary ")) << line;
  }
  // A package and itself: nothing.
  EXPECT_EQ(outputOf({kCli, "diff", fixture(packages[0]).string(), fixture(packages[0]).string()}, scratch), "");
}

// Each --set as msiinfo then shows it, and the rest of the summary as it was: summary-set.txt
// (text as stored, in the package's codepage 1252; Keywords, set empty, is gone).
TEST(MsitoolsCli, SummarySetIsWhatMsiinfoShows) {
  FENNICK_REQUIRE_MSITOOLS();
  const auto scratch = scratchDir();
  const fs::path pkg = Copy(fixture("ui-wix3-minimal-gaze/GazeToolbarInstall.msi"), scratch / "gaze.msi");
  const auto tablesBefore = msiinfoTables(pkg);
  outputOf({kCli, "summary", pkg.string(), "--set", "Title=Fennick test title", "--set", "author=Zoë Ærnström",
            "--set", "Comments=Two words; a semicolon, and 100%", "--set", "PageCount=500", "--set",
            "Created=2021/02/03 04:05:06", "--set", "Keywords="},
           scratch);
  EXPECT_EQ(outputOf({"env", "TZ=UTC", "msiinfo", "suminfo", pkg.string()}, scratch),
            ReadText(fs::path(FENNICK_SOURCE_DIR) / "tests/msitools/summary-set.txt"));
  EXPECT_EQ(msiinfoTables(pkg), tablesBefore);

  // Wrong names and values change nothing.
  const std::string before = ReadText(pkg);
  for (const char* bad : {"Nonsense=1", "PageCount=many", "Created=yesterday", "=x", "Title"}) {
    const auto refused = runProcess({kCli, "summary", pkg.string(), "--set", bad}, scratch);
    EXPECT_EQ(refused.exitCode, 2) << bad;
  }
  EXPECT_TRUE(ReadText(pkg) == before);
}

}  // namespace
}  // namespace fennick::test
