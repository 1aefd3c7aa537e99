// Storage against msitools on the same synthetic package, in the same run.
//
// The package has a 100,000-row File table plus Component, Directory, Feature, Property and a
// Binary table with a few blobs. Phases, each in its own child process so that its peak memory
// is its own (wait4 reports the child's, and its children's, maximum resident size):
//   (a) open plus a full scan of every table: ours vs `msiinfo export` of every table;
//   (b) export every table and import into a new database, commit: ours (idt export/import)
//       vs `msiinfo export` to files plus `msibuild NEW -i FILES...`;
//   (c) 300 single-row Modify plus Commit cycles on our copy, against one full copy of ours.
//
// Usage: storage_bench [FOLDER [PHASE]]   (default: a folder under the temporary directory)
//   PHASE (scan, copy or cycles) runs only our side of that phase, in this process, on the
//   package a full run left in FOLDER: for profilers.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "engine/db/database.h"
#include "engine/idt/idt.h"
#include "engine/sql/view.h"

namespace {
namespace fs = std::filesystem;
using msi::Value;

constexpr int kFileRows = 100000;
constexpr int kComponents = 2000;
constexpr int kDirectories = 200;
constexpr int kCycles = 300;
const std::vector<std::string> kTables = {"File", "Component", "Directory", "Feature", "Property", "Binary"};

msi::Column column(const std::string& name, const std::string& def, bool key = false) {
  msi::Column c = msi::Column::fromDefinition(name, def);
  c.key = key;
  return c;
}

std::string quote(const std::string& s) {
  std::string q = "'";
  for (const char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

void shell(const std::string& command) {
  if (std::system(command.c_str()) != 0) throw std::runtime_error("command failed: " + command);
}

void buildPackage(const fs::path& path) {
  auto db = msi::Database::open(path, msi::OpenMode::Create);
  db->createTable({"File",
                   {column("File", "s72", true), column("Component_", "s72"), column("FileName", "l255"),
                    column("FileSize", "i4"), column("Version", "S72"), column("Language", "S20"),
                    column("Attributes", "I2"), column("Sequence", "i4")}});
  db->createTable({"Component",
                   {column("Component", "s72", true), column("ComponentId", "S38"), column("Directory_", "s72"),
                    column("Attributes", "i2"), column("Condition", "S255"), column("KeyPath", "S72")}});
  db->createTable({"Directory",
                   {column("Directory", "s72", true), column("Directory_Parent", "S72"), column("DefaultDir", "l255")}});
  db->createTable({"Feature",
                   {column("Feature", "s38", true), column("Feature_Parent", "S38"), column("Title", "L64"),
                    column("Description", "L255"), column("Display", "I2"), column("Level", "i2"),
                    column("Directory_", "S72"), column("Attributes", "i2")}});
  db->createTable({"Property", {column("Property", "s72", true), column("Value", "l0")}});
  db->createTable({"Binary", {column("Name", "s72", true), column("Data", "v0")}});

  auto& dir = db->table("Directory");
  dir.insert({"TARGETDIR", Value(), "SourceDir"});
  for (int i = 1; i < kDirectories; ++i)
    dir.insert({"Dir" + std::to_string(i), i < 10 ? "TARGETDIR" : "Dir" + std::to_string(i % 10 + 1),
                "d" + std::to_string(i) + "|Directory " + std::to_string(i)});
  auto& comp = db->table("Component");
  for (int i = 0; i < kComponents; ++i) {
    char guid[39];
    std::snprintf(guid, sizeof guid, "{%08X-1111-2222-3333-444455556666}", static_cast<unsigned>(i));
    comp.insert({"Comp" + std::to_string(i), std::string(guid), "Dir" + std::to_string(i % (kDirectories - 1) + 1),
                 0, i % 7 == 0 ? Value("VersionNT >= 600") : Value(), "File" + std::to_string(i)});
  }
  auto& file = db->table("File");
  for (int i = 0; i < kFileRows; ++i)
    file.insert({"File" + std::to_string(i), "Comp" + std::to_string(i % kComponents),
                 "f" + std::to_string(i) + ".dll|library_number_" + std::to_string(i) + ".dll", 1000 + i * 7,
                 i % 3 == 0 ? Value("1.2." + std::to_string(i % 100) + ".0") : Value(),
                 i % 3 == 0 ? Value("1033") : Value(), i % 5 == 0 ? Value(512) : Value(), i + 1});
  auto& feature = db->table("Feature");
  for (int i = 0; i < 20; ++i)
    feature.insert({"Feature" + std::to_string(i), i ? Value("Feature0") : Value(), "Feature " + std::to_string(i),
                    "Description of feature " + std::to_string(i), 2 * i + 1, 1 + i % 3, "TARGETDIR", 0});
  auto& prop = db->table("Property");
  prop.insert({"ProductName", "Storage bench"});
  prop.insert({"ProductCode", "{12345678-ABCD-ABCD-ABCD-1234567890AB}"});
  prop.insert({"ProductVersion", "1.0.0"});
  prop.insert({"Manufacturer", "Fennick bench"});
  for (int i = 0; i < 60; ++i) prop.insert({"BENCH_PROP_" + std::to_string(i), "value " + std::to_string(i)});
  auto& binary = db->table("Binary");
  for (int i = 0; i < 5; ++i) {
    msi::Bytes data(20000 + 30000 * i);
    for (std::size_t k = 0; k < data.size(); ++k) data[k] = static_cast<std::uint8_t>((k * 31 + i) & 0xff);
    binary.insert({"Blob" + std::to_string(i), msi::Blob(std::move(data))});
  }
  auto& si = db->summaryInfo();
  si.properties[msi::PID_CODEPAGE] = 1252;
  si.properties[msi::PID_TITLE] = std::string("Installation Database");
  si.properties[msi::PID_TEMPLATE] = std::string("Intel;1033");
  si.properties[msi::PID_REVNUMBER] = std::string("{12345678-ABCD-ABCD-ABCD-1234567890AB}");
  si.properties[msi::PID_PAGECOUNT] = 200;
  si.properties[msi::PID_WORDCOUNT] = 2;
  si.changed = true;
  db->commit();
}

// Touches every value, so a lazily loaded table or blob is really read.
std::size_t scanAll(msi::Database& db) {
  std::size_t touched = 0;
  for (const std::string& name : db.tableNames()) {
    const msi::Table& t = db.table(name);
    for (std::size_t r = 0; r < t.size(); ++r)
      for (const Value& v : t.row(r)) {
        if (v.isString()) touched += v.asString().size();
        else if (v.isInt()) touched += 1;
        else if (v.isBlob()) touched += v.asBlob().bytes().size();
      }
  }
  return touched;
}

void copyOurs(const fs::path& src, const fs::path& dst, const fs::path& folder) {
  fs::remove_all(folder);
  fs::create_directories(folder);
  fs::remove(dst);
  auto in = msi::Database::open(src, msi::OpenMode::ReadOnly);
  auto out = msi::Database::open(dst, msi::OpenMode::Create);
  // As the tool copies a package: the copy reads the strings the package holds.
  out->shareStrings(*in);
  for (const std::string& t : kTables) {
    msi::idt::exportTable(*in, t, folder, t + ".idt");
    msi::idt::importTable(*out, folder, t + ".idt");
  }
  out->commit();
}

void copyPeer(const fs::path& src, const fs::path& dst, const fs::path& folder) {
  fs::remove_all(folder);
  fs::create_directories(folder);
  fs::remove(dst);
  std::string files;
  for (const std::string& t : kTables) {
    shell("cd " + quote(folder.string()) + " && msiinfo export " + quote(src.string()) + " " + t + " > " + t + ".idt");
    files += " -i " + t + ".idt";
  }
  shell("cd " + quote(folder.string()) + " && msibuild " + quote(dst.string()) + files);
}

void modifyCycles(const fs::path& pkg) {
  auto db = msi::Database::open(pkg, msi::OpenMode::Transact);
  for (int i = 0; i < kCycles; ++i) {
    auto view = msi::View::open(
        *db, "SELECT `File`, `FileSize` FROM `File` WHERE `File` = 'File" + std::to_string(i * 331 % kFileRows) + "'");
    view->execute();
    auto rec = view->fetch();
    if (!rec) throw std::runtime_error("table `File`: row for cycle " + std::to_string(i) + " not found");
    rec->setField(2, Value(4242 + i));
    view->modify(msi::ModifyMode::Update, *rec);
    view->close();
    db->commit();
  }
}

struct Measure {
  bool ok = false;
  double seconds = 0;
  long maxrssKb = 0;
};

// Runs `work` in a child process; the child times itself and sends the time back.
Measure inChild(const std::function<void()>& work) {
  int fds[2];
  if (pipe(fds) != 0) return {};
  std::fflush(stdout);
  std::fflush(stderr);
  // Earlier phases leave written data in the page cache; flushing it now keeps its cost out
  // of this phase's flushes (on ext4 a file's flush can wait for other files' data).
  ::sync();
  const pid_t pid = fork();
  if (pid < 0) return {};
  if (pid == 0) {
    close(fds[0]);
    int code = 0;
    double seconds = 0;
    try {
      const auto start = std::chrono::steady_clock::now();
      work();
      seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    } catch (const std::exception& e) {
      std::fprintf(stderr, "error: %s\n", e.what());
      code = 1;
    }
    if (write(fds[1], &seconds, sizeof seconds) != sizeof seconds) code = 1;
    std::fflush(stderr);
    _exit(code);
  }
  close(fds[1]);
  Measure m;
  double seconds = 0;
  const bool got = read(fds[0], &seconds, sizeof seconds) == sizeof seconds;
  close(fds[0]);
  int status = 0;
  rusage usage{};
  if (wait4(pid, &status, 0, &usage) != pid) return {};
  m.ok = got && WIFEXITED(status) && WEXITSTATUS(status) == 0;
  m.seconds = seconds;
  m.maxrssKb = usage.ru_maxrss;
  return m;
}

void report(const char* what, const Measure& ours, const Measure& peer) {
  std::printf("%-44s ours %8.3f s %7.1f MB | msitools %8.3f s %7.1f MB | time ratio %.3f%s\n", what,
              ours.seconds, ours.maxrssKb / 1024.0, peer.seconds, peer.maxrssKb / 1024.0,
              peer.seconds > 0 ? ours.seconds / peer.seconds : 0.0,
              ours.ok && peer.ok ? "" : "  (a run FAILED, see errors above)");
}

}  // namespace

int main(int argc, char** argv) {
  const fs::path folder = argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path() / "fennick_storage_bench";
  fs::create_directories(folder);
  const fs::path pkg = folder / "bench.msi";
  const fs::path oursCopy = folder / "copy_ours.msi";
  const fs::path peerCopy = folder / "copy_msitools.msi";
  if (argc > 2) {
    const std::string phase = argv[2];
    try {
      if (phase == "scan") {
        auto db = msi::Database::open(pkg, msi::OpenMode::ReadOnly);
        std::printf("scan touched %zu\n", scanAll(*db));
      } else if (phase == "copy") {
        copyOurs(pkg, oursCopy, folder / "idt_ours");
      } else if (phase == "cycles") {
        modifyCycles(oursCopy);
      } else {
        std::fprintf(stderr, "storage_bench: unknown phase `%s` (scan, copy or cycles)\n", phase.c_str());
        return 2;
      }
    } catch (const std::exception& e) {
      std::fprintf(stderr, "error: %s\n", e.what());
      return 1;
    }
    return 0;
  }
  const bool havePeer = std::system("command -v msiinfo >/dev/null && command -v msibuild >/dev/null") == 0;

  const Measure build = inChild([&] { buildPackage(pkg); });
  std::printf("package: %s, %d File rows, %ju bytes; built and committed in %.3f s, %.1f MB peak%s\n",
              pkg.c_str(), kFileRows, static_cast<std::uintmax_t>(build.ok ? fs::file_size(pkg) : 0), build.seconds,
              build.maxrssKb / 1024.0, build.ok ? "" : " (FAILED)");
  if (!build.ok) return 1;
  if (!havePeer) std::printf("msiinfo or msibuild not found: msitools columns are empty\n");
  const Measure none;

  const Measure scanOurs = inChild([&] {
    auto db = msi::Database::open(pkg, msi::OpenMode::ReadOnly);
    if (scanAll(*db) == 0) throw std::runtime_error(pkg.string() + ": scan touched nothing");
  });
  const Measure scanPeer = havePeer ? inChild([&] {
    for (const std::string& t : kTables) shell("msiinfo export " + quote(pkg.string()) + " " + t + " > /dev/null");
  }) : none;
  report("(a) open + full scan of every table", scanOurs, scanPeer);

  const Measure copy = inChild([&] { copyOurs(pkg, oursCopy, folder / "idt_ours"); });
  const Measure copyMsitools =
      havePeer ? inChild([&] { copyPeer(pkg, peerCopy, folder / "idt_msitools"); }) : none;
  report("(b) export every table + import + commit", copy, copyMsitools);
  if (copy.ok && copyMsitools.ok && copy.seconds > 0)
    std::printf("    copy speed-up over msitools: %.1fx (target: at least 10x) -> %s\n",
                copyMsitools.seconds / copy.seconds, copyMsitools.seconds >= 10 * copy.seconds ? "met" : "NOT met");

  const Measure cycles = inChild([&] { modifyCycles(oursCopy); });
  std::printf("(c) %d x (one-row Modify + Commit) on the copy: %.3f s, %.1f MB peak, %.2f ms per cycle%s\n", kCycles,
              cycles.seconds, cycles.maxrssKb / 1024.0, cycles.seconds * 1000 / kCycles,
              cycles.ok ? "" : " (FAILED)");
  if (cycles.ok && copy.ok && copy.seconds > 0)
    std::printf("    %d commits / one full copy (ours): %.3f (target: under 1) -> %s\n", kCycles,
                cycles.seconds / copy.seconds, cycles.seconds < copy.seconds ? "met" : "NOT met");
  return build.ok && scanOurs.ok && copy.ok && cycles.ok ? 0 : 1;
}
