// fennick-msi against msitools on the real packages: the same tables, rows and streams, and
// archives exported by us and imported into a new database read back identically by msitools.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

#include "engine/db/codepage.h"
#include "tests/support/msitools.h"
#include "tests/peer/process.h"
#include "tests/support/fixtures.h"

namespace fennick::test {
namespace {

namespace fs = std::filesystem;
using peer::outputOf;

const std::string kCli = FENNICK_MSI_CLI;

// Our archive rewritten the way msitools prints one: values raw (escapes undone), text in
// UTF-8 (msitools converts), no codepage on line 3, and binary cells naming their stream
// ("Table.key") where we name the file we wrote. Binary data is compared separately.
std::string AsMsitoolsWould(const std::string& ours, const fs::path& binaryDir, std::vector<std::pair<std::string, std::string>>* blobs) {
  static const char kStored[] = {'\x15', '\x1b', '\x10', '\x19', '\x18', '\x11'};
  static const char kRaw[] = {'\0', '\b', '\t', '\n', '\f', '\r'};
  auto text = lines(ours);
  if (text.size() < 3) return ours;
  auto third = split(text[2], '\t');
  int codepage = 0;
  if (!third.empty() && !third[0].empty() && third[0].find_first_not_of("0123456789") == std::string::npos) {
    codepage = std::stoi(third[0]);
    third.erase(third.begin());
  }
  const msi::Codepage cp(codepage);
  const auto defs = split(text[1], '\t');
  const std::string table = third.empty() ? "" : third[0];
  const std::size_t keyCount = third.size() - 1;
  std::string out = text[0] + "\r\n" + text[1] + "\r\n";
  for (std::size_t i = 0; i < third.size(); ++i) out += (i ? "\t" : "") + third[i];
  out += "\r\n";
  for (std::size_t r = 3; r < text.size(); ++r) {
    auto cells = split(text[r], '\t');
    std::string key;
    for (std::size_t k = 0; k < keyCount && k < cells.size(); ++k) key += (k ? "." : "") + cells[k];
    for (std::size_t c = 0; c < cells.size(); ++c) {
      std::string v = cells[c];
      for (char& ch : v)
        for (int e = 0; e < 6; ++e)
          if (ch == kStored[e]) ch = kRaw[e];
      v = cp.decode(v);
      if (c < defs.size() && (defs[c][0] == 'v' || defs[c][0] == 'V') && !v.empty()) {
        blobs->push_back({table + "." + key, ReadText(binaryDir / table / v)});
        v = table + "." + key;
      }
      out += (c ? "\t" : "") + v;
    }
    out += "\r\n";
  }
  return out;
}

// On every package: the same table list as msiinfo's, every exported table with the rows msiinfo
// exports, the archives imported into a new database that msitools reads the same, and the
// streams msiinfo lists and extracts.
TEST(MsitoolsPeer, TablesExportsAndImportsAgreeWithMsitools) {
  FENNICK_REQUIRE_MSITOOLS();
  const auto scratch = scratchDir();
  for (const auto& pkg : fixturePackages()) {
    SCOPED_TRACE(pkg.filename().string());
    const auto tables = msiinfoTables(pkg);
    EXPECT_EQ(lines(outputOf({kCli, "tables", pkg.string()}, scratch)), tables);

    // Our stream list and extract: the names msiinfo lists, each stream's size and bytes.
    std::map<std::string, std::string> streams;  // what msiinfo extracts, by name
    for (const auto& name : lines(msiinfo("streams", pkg)))
      streams[name] = outputOf({"msiinfo", "extract", pkg.string(), name}, scratch);
    std::set<std::string> names;
    for (const auto& line : lines(outputOf({kCli, "streams", pkg.string()}, scratch))) {
      const auto fields = split(line, '\t');
      ASSERT_EQ(fields.size(), 2u) << line;
      ASSERT_TRUE(streams.count(fields[0])) << fields[0] << ": not a stream msiinfo lists";
      names.insert(fields[0]);
      const std::string& expected = streams.at(fields[0]);
      EXPECT_EQ(fields[1], std::to_string(expected.size())) << fields[0];
      const fs::path file = scratch / "stream.bin";
      outputOf({kCli, "extract", pkg.string(), fields[0], file.string()}, scratch);
      EXPECT_TRUE(ReadText(file) == expected) << fields[0];
      EXPECT_TRUE(outputOf({kCli, "extract", pkg.string(), fields[0]}, scratch) == expected) << fields[0];
    }
    EXPECT_EQ(names.size(), streams.size()) << "streams msiinfo lists and we do not";

    const fs::path dir = scratch / pkg.filename();
    outputOf({kCli, "export", pkg.string(), dir.string()}, scratch);
    for (const auto& table : tables) {
      SCOPED_TRACE(table);
      std::vector<std::pair<std::string, std::string>> blobs;
      EXPECT_EQ(AsMsitoolsWould(ReadText(dir / (table + ".idt")), dir, &blobs), msiinfo("export", pkg, table));
      for (const auto& [stream, bytes] : blobs)
        EXPECT_TRUE(streams.count(stream) && streams.at(stream) == bytes)
            << stream << ": " << bytes.size() << " bytes exported, not the package's stream";
    }

    std::vector<std::string> files;
    for (const auto& e : fs::directory_iterator(dir))
      if (e.path().extension() == ".idt") files.push_back(e.path().filename().string());
    std::sort(files.begin(), files.end());
    const fs::path copy = scratch / (pkg.stem().string() + "-copy.msi");
    std::vector<std::string> argv = {kCli, "import", copy.string(), dir.string()};
    argv.insert(argv.end(), files.begin(), files.end());
    outputOf(argv, scratch);
    auto copiedTables = msiinfoTables(copy);
    EXPECT_EQ(std::set<std::string>(copiedTables.begin(), copiedTables.end()),
              std::set<std::string>(tables.begin(), tables.end()));
    // Stored row order follows string-pool ids, which a new database assigns afresh: compare
    // the header lines exactly and the rows as a set.
    auto rowsOf = [&](const fs::path& db, const std::string& table) {
      auto rows = lines(msiinfo("export", db, table));
      if (rows.size() > 3) std::sort(rows.begin() + 3, rows.end());
      return rows;
    };
    for (const auto& table : tables) EXPECT_EQ(rowsOf(copy, table), rowsOf(pkg, table)) << table;
    EXPECT_EQ(msiinfo("suminfo", copy), msiinfo("suminfo", pkg));
    // Binary streams behind table cells come back byte for byte. (Streams that no cell names,
    // such as embedded cabinets, are not part of any table archive.)
    const std::set<std::string> tableSet(tables.begin(), tables.end());
    for (const auto& [stream, bytes] : streams) {
      const auto dot = stream.find('.');
      if (dot == std::string::npos || !tableSet.count(stream.substr(0, dot))) continue;
      EXPECT_TRUE(outputOf({"msiinfo", "extract", copy.string(), stream}, scratch) == bytes) << stream;
    }
  }
}

}  // namespace
}  // namespace fennick::test
