// streams, extract: the streams of a package (or transform) that are not tables: binary
// cells, cabinets, summary information, signatures. Read from the compound file's directory,
// so listing reads no stream data.
#include <algorithm>
#include <fstream>

#include "engine/cfb/compound_file.h"
#include "engine/db/stream_name.h"
#include "engine/db/value.h"
#include "tools/fennick_msi/command.h"
#include "tools/fennick_msi/json_writer.h"
#include "tools/fennick_msi/output_file.h"

namespace fennick::msicli {
namespace {
namespace fs = std::filesystem;

struct Stream {
  std::string name;      // decoded, UTF-8
  std::u16string stored; // as the directory holds it
  std::uint64_t size = 0;
};

std::vector<Stream> rootStreams(const msi::cfb::Reader& reader) {
  std::vector<Stream> out;
  for (const auto& entry : reader.list({})) {
    if (entry.kind != msi::cfb::EntryKind::Stream) continue;
    const auto decoded = msi::stream_name::decode(entry.name);
    if (!decoded.table) out.push_back({decoded.name, entry.name, entry.size});
  }
  std::sort(out.begin(), out.end(), [](const Stream& a, const Stream& b) { return a.name < b.name; });
  return out;
}

std::shared_ptr<const msi::cfb::Reader> openFile(const std::string& path) { return msi::cfb::Reader::open(path); }

}  // namespace

int Streams(const Args& given, std::ostream& out) {
  Args args = given;
  const bool json = TakeFlag(args, "--json");
  if (args.size() != 1) throw UsageError("needs exactly one package");
  const auto streams = rootStreams(*openFile(args[0]));
  if (!json) {
    for (const Stream& s : streams) out << Field(s.name) << '\t' << s.size << '\n';
    return 0;
  }
  JsonWriter w(out);
  w.beginArray();
  for (const Stream& s : streams)
    w.beginObject().key("name").string(s.name).key("size").number(static_cast<std::int64_t>(s.size)).endObject();
  w.endArray();
  return 0;
}

int Extract(const Args& args, std::ostream& out) {
  if (args.size() != 2 && args.size() != 3) throw UsageError("needs a package, a stream name and optionally a file");
  const fs::path package = args[0];
  if (args.size() == 3) refuseInputAsOutput(args[2], {package});
  const auto reader = openFile(args[0]);
  const auto streams = rootStreams(*reader);
  const auto it = std::find_if(streams.begin(), streams.end(), [&](const Stream& s) { return s.name == args[1]; });
  if (it == streams.end())
    throw msi::Error(package.string() + ": no stream `" + args[1] + "` (`fennick-msi streams` lists them)",
                     msi::ErrorKind::NotFound);
  const msi::cfb::Bytes data = reader->read({it->stored});
  if (args.size() == 2) {
    out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
    return 0;
  }
  const fs::path target = args[2];
  const fs::path temp = temporaryBeside(target);
  {
    std::ofstream file(temp, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
    file.close();
    if (!file) {
      std::error_code ec;
      fs::remove(temp, ec);
      throw msi::Error(target.string() + ": cannot be written", msi::ErrorKind::Io);
    }
  }
  replaceWith(temp, target);
  return 0;
}

}  // namespace fennick::msicli
