// Helpers for transform tests.
#include "tests/mst/mst_test_support.h"

#include <algorithm>
#include <cstdio>

#include <gtest/gtest.h>

#include "engine/cfb/compound_file.h"
#include "engine/db/stream_name.h"
#include "engine/mst/transform.h"
#include "tests/support/table_sections.h"

namespace fennick::mst_test {

std::unique_ptr<msi::Database> createDatabase(const std::filesystem::path& path,
                                              const std::vector<std::pair<std::string, std::string>>& properties) {
  auto db = msi::Database::open(path, msi::OpenMode::Create);
  std::vector<msi::Row> rows;
  for (const auto& [name, value] : properties) rows.push_back({msi::Value(name), msi::Value(value)});
  addTable(*db, "Property", {col("Property", "s72", true), col("Value", "l0")}, rows);
  return db;
}

void addTable(msi::Database& db, const std::string& name, std::vector<msi::Column> columns,
              const std::vector<msi::Row>& rows) {
  db.createTable(msi::Schema{name, std::move(columns), false});
  msi::Table& t = db.table(name);
  for (const auto& r : rows) t.insert(r);
}

std::unique_ptr<msi::Database> generateFromCopy(const std::filesystem::path& dir,
                                                const std::function<void(msi::Database&)>& change) {
  std::filesystem::copy_file(dir / "base.msi", dir / "changed.msi");
  auto changed = msi::Database::open(dir / "changed.msi", msi::OpenMode::Transact);
  change(*changed);
  changed->commit();
  auto base = msi::Database::open(dir / "base.msi", msi::OpenMode::ReadOnly);
  EXPECT_TRUE(msi::mst::generateTransform(*changed, *base, dir / "t.mst"));
  return base;
}

Snapshot snapshot(msi::Database& db) {
  Snapshot out;
  out["(codepage)"] = {std::to_string(db.codepage())};
  for (const auto& name : db.tableNames()) {
    if (!db.isPersistent(name)) continue;
    msi::Table& t = db.table(name);
    std::vector<std::string> lines;
    std::string schema;
    for (const auto& c : t.schema().columns) {
      if (c.temporary) continue;
      schema += (schema.empty() ? "" : ", ") + c.name + " " + c.definition() + (c.key ? " key" : "");
    }
    for (std::size_t i = 0; i < t.size(); ++i) {
      std::string line;
      for (const auto& v : t.row(i)) {
        if (v.isBlob()) {
          const auto& b = v.asBlob().bytes();
          line += "<binary:" + std::string(b.begin(), b.end()) + ">";
        } else {
          line += v.isNull() ? "<null>" : v.text();
        }
        line += '|';
      }
      lines.push_back(line);
    }
    std::sort(lines.begin(), lines.end());
    lines.insert(lines.begin(), schema);
    out[name] = std::move(lines);
  }
  return out;
}

std::map<std::string, std::vector<std::string>> expected(const std::string& test) {
  return test::tableSections(std::filesystem::path(__FILE__).parent_path() / "expected.txt", test);
}

std::vector<std::string> changeLines(const std::filesystem::path& mst, msi::Database* base) {
  std::vector<std::string> out;
  for (const auto& c : msi::mst::describeTransform(mst, base)) out.push_back(msi::mst::formatChange(c));
  return out;
}

std::map<std::string, std::string> streamWords(const std::filesystem::path& mst) {
  std::map<std::string, std::string> out;
  const auto reader = msi::cfb::Reader::open(mst);
  for (const auto& e : reader->list()) {
    if (e.kind != msi::cfb::EntryKind::Stream) continue;
    const auto name = msi::stream_name::decode(e.name);
    const auto data = reader->read({e.name});
    if (!name.table) {
      out[name.name] = std::string(data.begin(), data.end());
      continue;
    }
    std::string words;
    for (std::size_t i = 0; i + 1 < data.size(); i += 2) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "%04x", data[i] | (data[i + 1] << 8));
      if (!words.empty()) words += ' ';
      words += buf;
    }
    out[name.name] = words;
  }
  return out;
}

}  // namespace fennick::mst_test
