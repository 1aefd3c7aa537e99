// Transform generation against a full copy of the same database, both with our engine.
//
// A synthetic package with a 100,000-row table, and a copy with 1% of the rows changed
// (updates, inserts and deletes). Prints the time to generate the transform (open both,
// compare, write) as a ratio to one full copy of the package (open, write every table into a
// new database, commit). The aim is a ratio under one: a transform costs less than rewriting.
//
// Usage: transform_bench [ROWS] [FOLDER]   (defaults: 100000, a temporary folder)
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "engine/db/database.h"
#include "engine/mst/transform.h"

namespace {
namespace fs = std::filesystem;
using msi::Row;
using msi::Value;

msi::Column column(const std::string& name, const std::string& def, bool key = false) {
  msi::Column c = msi::Column::fromDefinition(name, def);
  c.key = key;
  return c;
}

void makeBase(const fs::path& path, int rows) {
  auto db = msi::Database::open(path, msi::OpenMode::Create);
  db->createTable(msi::Schema{"Property", {column("Property", "s72", true), column("Value", "l0")}, false});
  db->table("Property").insert({Value("ProductName"), Value("Bench")});
  db->createTable(msi::Schema{"BenchRows",
                              {column("Id", "s72", true), column("Name", "S255"), column("Size", "I4"),
                               column("Note", "L0")},
                              false});
  msi::Table& t = db->table("BenchRows");
  for (int i = 0; i < rows; ++i)
    t.insert({Value("row" + std::to_string(i)), Value("name " + std::to_string(i % 997)), Value(i * 7),
              Value(i % 3 ? Value("note " + std::to_string(i)) : Value())});
  db->commit();
}

// 1% of the rows: three in five updated, one inserted, one deleted.
void changeOnePercent(const fs::path& path, int rows) {
  auto db = msi::Database::open(path, msi::OpenMode::Transact);
  msi::Table& t = db->table("BenchRows");
  const int changes = rows / 100;
  for (int k = 0; k < changes; ++k) {
    const int i = k * 100 + 37;
    const std::string id = "row" + std::to_string(i);
    switch (k % 5) {
      case 3:
        t.insert({Value("added" + std::to_string(k)), Value("new"), Value(k), Value()});
        break;
      case 4:
        t.erase(*t.find({Value(id)}));
        break;
      default: {
        const auto at = *t.find({Value(id)});
        Row r = t.row(at);
        r[2] = Value(-i);
        t.update(at, r);
      }
    }
  }
  db->commit();
}

void copyDatabase(const fs::path& from, const fs::path& to) {
  auto src = msi::Database::open(from, msi::OpenMode::ReadOnly);
  auto dst = msi::Database::open(to, msi::OpenMode::Create);
  dst->setCodepage(src->codepage());
  for (const auto& name : src->tableNames()) {
    if (!src->isPersistent(name)) continue;
    const msi::Table& in = src->table(name);
    dst->createTable(in.schema());
    msi::Table& out = dst->table(name);
    for (std::size_t i = 0; i < in.size(); ++i) out.insert(in.row(i));
  }
  dst->commit();
}

double seconds(const std::function<void()>& work) {
  const auto start = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The fastest of `runs`, to keep other work on the machine out of the figure.
double best(int runs, const std::function<void()>& work) {
  double t = 1e30;
  for (int i = 0; i < runs; ++i) t = std::min(t, seconds(work));
  return t;
}

}  // namespace

int main(int argc, char** argv) {
  const int rows = argc > 1 ? std::max(100, std::atoi(argv[1])) : 100000;
  const bool ownFolder = argc <= 2;
  const fs::path dir = ownFolder ? fs::temp_directory_path() / ("fennick-transform-bench-" + std::to_string(getpid()))
                                 : fs::path(argv[2]);
  try {
    fs::create_directories(dir);
    const fs::path base = dir / "base.msi", changed = dir / "changed.msi";
    std::printf("building %d rows...\n", rows);
    makeBase(base, rows);
    fs::copy_file(base, changed, fs::copy_options::overwrite_existing);
    changeOnePercent(changed, rows);

    constexpr int kRuns = 3;
    bool wrote = false;
    const double generate = best(kRuns, [&] {
      auto c = msi::Database::open(changed, msi::OpenMode::ReadOnly);
      auto r = msi::Database::open(base, msi::OpenMode::ReadOnly);
      wrote = msi::mst::generateTransform(*c, *r, dir / "t.mst");
    });
    const double copy = best(kRuns, [&] { copyDatabase(base, dir / "copy.msi"); });
    std::printf("rows %d, changed %d, transform %ju bytes%s\n", rows, rows / 100,
                static_cast<std::uintmax_t>(fs::file_size(dir / "t.mst")), wrote ? "" : " (NOT WRITTEN)");
    std::printf("generate transform: %.3f s\n", generate);
    std::printf("full copy:          %.3f s\n", copy);
    std::printf("ratio generate/copy: %.2f (target < 1)\n", generate / copy);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "transform_bench: %s\n", e.what());
    return 1;
  }
  if (ownFolder) fs::remove_all(dir);
  return 0;
}
