// Fuzz target: transforms read and applied to a small database built here.
//
// The first byte picks the form of the rest: odd, a whole compound file (seeds: real
// transforms); even, the parts of a transform (codepage, string pool, record streams of the
// database's tables and of new ones, binary-cell streams), put together here so that the
// fuzzer reaches the record decoder and the applier rather than stopping at the container.
// Each transform is applied (with error conditions from the input) and described with and
// without the base. Errors are expected; crashes, hangs, huge allocations are not, and a
// failed apply must leave the database exactly as it was.
#include <fuzzer/FuzzedDataProvider.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/cfb/compound_file.h"
#include "engine/db/database.h"
#include "engine/db/stream_name.h"
#include "engine/db/string_pool.h"
#include "engine/mst/transform.h"

namespace {
namespace fs = std::filesystem;
using msi::Row;
using msi::Value;

const msi::cfb::Clsid kTransform = {0x82, 0x10, 0x0C, 0, 0, 0, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46};

msi::Column column(const std::string& name, const std::string& def, bool key = false) {
  msi::Column c = msi::Column::fromDefinition(name, def);
  c.key = key;
  return c;
}

Value blob(const std::string& s) { return Value(msi::Blob(msi::Bytes(s.begin(), s.end()))); }

// Never committed: the database lives in memory.
std::unique_ptr<msi::Database> smallDatabase() {
  auto db = msi::Database::open("fuzz.msi", msi::OpenMode::Create);
  db->createTable(msi::Schema{"Property", {column("Property", "s72", true), column("Value", "l0")}, false});
  db->table("Property").insert({Value("A"), Value("1")});
  db->table("Property").insert({Value("B"), Value("two")});
  db->createTable(msi::Schema{
      "Feature", {column("Feature", "s38", true), column("Level", "i2"), column("Title", "L64")}, false});
  db->table("Feature").insert({Value("Main"), Value(1), Value("Main")});
  db->createTable(msi::Schema{"Binary", {column("Name", "s72", true), column("Data", "V0")}, false});
  db->table("Binary").insert({Value("Icon"), blob("icon")});
  std::vector<msi::Column> wide{column("Id", "i2", true)};
  Row row{Value(1)};
  for (int i = 1; i < 20; ++i) {
    wide.push_back(column("C" + std::to_string(i), "I4"));
    row.push_back(Value(i));
  }
  db->createTable(msi::Schema{"Wide", wide, false});
  db->table("Wide").insert(row);
  return db;
}

std::string snapshot(msi::Database& db) {
  std::string out = std::to_string(db.codepage()) + "\n";
  for (const auto& name : db.tableNames()) {
    msi::Table& t = db.table(name);
    out += name + ":";
    for (const auto& c : t.schema().columns) out += " " + c.name + "/" + c.definition();
    out += "\n";
    for (std::size_t i = 0; i < t.size(); ++i) {
      for (const auto& v : t.row(i)) {
        if (v.isBlob()) {
          const auto& b = v.asBlob().bytes();
          out += "<" + std::string(b.begin(), b.end()) + ">";
        } else {
          out += v.isNull() ? "~" : v.text();
        }
        out += "|";
      }
      out += "\n";
    }
  }
  return out;
}

std::shared_ptr<const msi::cfb::Reader> assembled(FuzzedDataProvider& in) {
  static const int kCodepages[] = {0, 1252, 932, 1255, 65001};
  msi::StringPool pool(kCodepages[in.ConsumeIntegralInRange<int>(0, 4)]);
  const bool longRefs = in.ConsumeBool();
  const int strings = in.ConsumeIntegralInRange<int>(0, 12);
  for (int i = 0; i < strings; ++i) pool.intern(in.ConsumeRandomLengthString(24));
  std::vector<std::uint32_t> refs(pool.size(), 1);
  msi::StringPool::Streams ps;
  try {
    ps = pool.serialize(refs, longRefs, "fuzz");
  } catch (const msi::Error&) {
    return nullptr;  // a string the codepage cannot hold
  }
  msi::cfb::Editor editor(kTransform);
  editor.putStream({msi::stream_name::encode("_StringPool", true)}, ps.pool);
  editor.putStream({msi::stream_name::encode("_StringData", true)}, ps.data);
  static const char* const kTables[] = {"_Tables", "_Columns", "Property", "Feature", "Binary", "Wide", "New"};
  for (const char* table : kTables)
    if (in.ConsumeBool())
      editor.putStream({msi::stream_name::encode(table, true)},
                       in.ConsumeBytes<std::uint8_t>(in.ConsumeIntegralInRange<std::size_t>(0, 96)));
  static const char* const kStreams[] = {"Binary.Icon", "Binary.A", "New.1", "New.A"};
  for (const char* stream : kStreams)
    if (in.ConsumeBool())
      editor.putStream({msi::stream_name::encode(stream, false)}, in.ConsumeBytes<std::uint8_t>(8));
  static const fs::path file = fs::temp_directory_path() / ("fennick-mst-fuzz-" + std::to_string(getpid()) + ".mst");
  editor.commit(file);
  return msi::cfb::Reader::open(file);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  FuzzedDataProvider in(data + 1, size - 1);
  const bool raw = data[0] & 1;
  const int errors = (data[0] >> 1) & 0x3F;
  std::shared_ptr<const msi::cfb::Reader> reader;
  try {
    reader = raw ? msi::cfb::Reader::fromBytes(msi::cfb::Bytes(data + 1, data + size), "fuzz") : assembled(in);
  } catch (const msi::cfb::Error&) {
    return 0;
  }
  if (!reader) return 0;

  auto db = smallDatabase();
  const std::string before = snapshot(*db);
  try {
    msi::mst::applyTransform(*db, reader, errors);
  } catch (const msi::Error&) {
    if (snapshot(*db) != before) std::abort();  // a failed apply changed the database
  }
  try {
    for (const auto& c : msi::mst::describeTransform(reader, db.get())) (void)msi::mst::formatChange(c);
    (void)msi::mst::describeTransform(reader, nullptr);
  } catch (const msi::Error&) {
  }
  return 0;
}
