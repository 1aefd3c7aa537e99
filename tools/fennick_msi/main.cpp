// fennick-msi: scripts the engine: tables, archives, queries, summary information,
// sessions and transforms.
#include <iostream>
#include <map>

#include "engine/cfb/compound_file.h"
#include "engine/db/value.h"
#include "tools/fennick_msi/command.h"

namespace {

const char* kUsage = R"(Usage: fennick-msi COMMAND ARGS...

  tables PKG                      table names, one a line, catalogue order
  export PKG DIR [TABLE...]       write .idt archives into DIR (every persistent table,
                                  the summary information and the codepage if none named)
  import DB DIR FILE...           import archives from DIR into DB (created if missing)
  query PKG SQL                   run a query; rows as tab-separated text
  summary PKG                     summary information, one property a line
  session PKG [--eval COND]... [--set NAME=VALUE]... [--ui-level N] [--transform MST]...
                                  run the non-dialog actions of the UI sequence; print
                                  properties, feature states, directories, condition results
  transform generate NEW BASE OUT.mst [--errors N] [--validation N]
                                  write the transform that turns BASE into NEW, with its
                                  summary information (error conditions, validation flags)
  transform apply BASE MST OUT.msi [--errors N]
                                  apply MST to a copy of BASE (error conditions default to
                                  those the transform carries)
  transform show MST [BASE]       each change as text: operation, table, key, column, old
                                  value (from BASE), new value
  transform check PKG MST         apply MST to PKG in memory and run the UI sequence silently
                                  up to ExecuteAction; print what `session` prints

Exit status: 0 success, 1 failure (the message names the file and the cause), 2 wrong usage,
3 transform generate found no differences (no file written). An output file that is one of
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
      {"session", Session},
      {"transform", Transform},
  };
  auto it = commands.find(all[0]);
  if (it == commands.end()) {
    std::cerr << "fennick-msi: unknown command `" << all[0] << "`\n" << kUsage;
    return 2;
  }
  try {
    return it->second(Args(all.begin() + 1, all.end()), std::cout);
  } catch (const UsageError& e) {
    std::cerr << "fennick-msi " << all[0] << ": " << e.what() << "\n" << kUsage;
    return 2;
  } catch (const std::exception& e) {
    std::cerr << "fennick-msi: " << e.what() << "\n";
    return 1;
  }
}
