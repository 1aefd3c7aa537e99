// fennick-msi: scripts the engine: tables, archives, queries, summary information, streams,
// sessions and transforms.
#include <iostream>
#include <map>
#include <sstream>

#include "engine/cfb/compound_file.h"
#include "engine/db/value.h"
#include "tools/fennick_msi/command.h"

namespace {

const char* kUsage = R"(Usage: fennick-msi COMMAND ARGS...

  tables PKG [--json]             table names, one a line, catalogue order
  export PKG DIR [TABLE...]       write .idt archives into DIR (every persistent table,
                                  the summary information and the codepage if none named)
  import DB DIR FILE...           import archives from DIR into DB (created if missing)
  query PKG SQL [--json]          run a query; rows as tab-separated text
  summary PKG [--json]            summary information, one property a line: id, name, value
  summary PKG --set NAME=VALUE... change summary properties (NAME: Title, Subject, Author,
                                  Keywords, Comments, Template, LastSavedBy, RevisionNumber,
                                  CreatingApplication, Codepage, PageCount, WordCount,
                                  CharacterCount, Security, or a time LastPrinted, Created,
                                  LastSaved as YYYY/MM/DD hh:mm:ss UTC; an empty VALUE removes
                                  the property); one atomic commit
  streams PKG [--json]            streams other than tables (binary cells, cabinets, summary
                                  information): name and size in bytes
  extract PKG STREAM [FILE]       a stream's bytes, to FILE or standard output
  session PKG [--eval COND]... [--property NAME=VALUE]... [--machine NAME|FILE]
          [--ui-level N] [--transform MST]... [--json]
                                  run the non-dialog actions of the UI sequence; print
                                  properties, feature states, directories, condition results;
                                  --machine: win10-x64 (default), win10-x86, win11-x64 or a
                                  machine file; --property (or --set) as on an installer's
                                  command line
  transform generate NEW BASE OUT.mst [--errors N] [--validation N]
                                  write the transform that turns BASE into NEW, with its
                                  summary information (error conditions, validation flags)
  transform apply BASE MST OUT.msi [--errors N]
                                  apply MST to a copy of BASE (error conditions default to
                                  those the transform carries)
  transform show MST [BASE] [--json]
                                  each change as text: operation, table, key, column, old
                                  value (from BASE), new value
  transform check PKG MST [--json]
                                  apply MST to PKG in memory and run the UI sequence silently
                                  up to ExecuteAction; print what `session` prints
  diff A B [--json]               the changes from A to B as `transform show A-to-B.mst A`
                                  prints them; no file is written

Text output: one record a line, fields separated by TAB; inside a field a tab is written
\t, a line feed \n, a carriage return \r and a backslash \\; other characters are
written as stored (property-set streams such as summary information start with byte 0x05).
Binary cells show as [binary N bytes].
--json: one JSON document (UTF-8) instead: values as stored (numbers, text, null), binary
cells as the name of their stream (Table.key, as `streams` lists it).

Exit status: 0 success, 1 failure (the message names the file and the cause), 2 wrong usage,
3 transform generate found no differences (no file written), 4 what the command names is
not there (a package, table, stream or folder). An output file that is one of
the command's inputs or a folder is refused; outputs are written beside their target and
renamed over it only when complete.
)";

}  // namespace

int main(int argc, char** argv) {
  using namespace fennick::msicli;
  const std::vector<std::string> all(argv + 1, argv + argc);
  if (all.empty() || all[0] == "--help" || all[0] == "-h" || all[0] == "help") {
    (all.empty() ? std::cerr : std::cout) << kUsage;
    return all.empty() ? 2 : 0;
  }
  const std::map<std::string, int (*)(const Args&, std::ostream&)> commands = {
      {"tables", Tables}, {"export", Export}, {"import", Import}, {"query", Query}, {"summary", Summary},
      {"streams", Streams}, {"extract", Extract},
      {"session", Session},
      {"transform", Transform}, {"diff", Diff},
  };
  auto it = commands.find(all[0]);
  if (it == commands.end()) {
    std::cerr << "fennick-msi: unknown command `" << all[0] << "`\n" << kUsage;
    return 2;
  }
  try {
    // Output is held until the command returns, so a failure never leaves half a document.
    std::ostringstream out;
    const int status = it->second(Args(all.begin() + 1, all.end()), out);
    std::cout << out.view() << std::flush;
    return status;
  } catch (const UsageError& e) {
    std::cerr << "fennick-msi " << all[0] << ": " << e.what() << "\n" << kUsage;
    return 2;
  } catch (const msi::Error& e) {
    std::cerr << "fennick-msi: " << e.what() << "\n";
    return e.kind() == msi::ErrorKind::NotFound ? 4 : 1;
  } catch (const std::exception& e) {
    std::cerr << "fennick-msi: " << e.what() << "\n";
    return 1;
  }
}
