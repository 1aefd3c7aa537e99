// Fuzz target: arbitrary bytes as a machine file. The input up to the first NUL is the machine
// file (any encoding its byte-order mark says); what follows is the content of every .reg
// file its `registry` lines name. A fault must be a MachineTextError naming the source and a
// line within the text; a machine that parses must answer for its properties, disk and
// registry. Crashes, hangs and huge allocations are failures.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "engine/session/machine_file.h"
#include "engine/session/reg_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::size_t nul = input.find('\0');
  const std::string_view file = input.substr(0, nul);
  const std::string_view include = nul == std::string_view::npos ? std::string_view() : input.substr(nul + 1);
  const std::string text = msi::decodeTextFile(file);
  try {
    const msi::EmulatedMachine machine =
        msi::parseMachineFile(text, "fuzz", [&](const std::string&) { return std::string(include); });
    for (auto context : {msi::InstallContext::PerMachine, msi::InstallContext::PerUser,
                         msi::InstallContext::PerUserDualPurpose})
      (void)machine.properties(context);
    const msi::EmulatedDisk disk(machine);
    for (const msi::MachineFile& f : machine.files)
      if (!disk.file(f.path)) std::abort();  // a listed file must be on the disk
    for (const std::string& folder : machine.extraFolders)
      if (!disk.exists(folder)) std::abort();
    for (auto root : {msi::RegRoot::ClassesRoot, msi::RegRoot::CurrentUser, msi::RegRoot::LocalMachine,
                      msi::RegRoot::Users})
      for (auto view : {msi::RegView::Bits32, msi::RegView::Bits64})
        for (const std::string& key : machine.registry.subkeys(root, "SOFTWARE", view))
          for (const std::string& name : machine.registry.valueNames(root, "SOFTWARE\\" + key, view)) {
            auto value = machine.registry.value(root, "SOFTWARE\\" + key, name, view);
            if (!value) std::abort();  // a listed value must be readable
            (void)value->text();
            (void)value->strings();
          }
  } catch (const msi::MachineTextError& e) {
    const std::string what = e.what();
    // Faults name the machine file or the included file, with a line number from 1.
    if (e.line() < 1 || what.find(':') == std::string::npos) std::abort();
  }
  return 0;
}
