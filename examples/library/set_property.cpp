// The engine as a library: open a package, read its Property table with a query, change one
// property in a working copy, and write the change as a transform. It includes only the
// engine's public headers (the build gives it no others).
//
//   set_property PACKAGE NAME VALUE OUT.mst
//
// Prints the package's properties, then what the transform holds. Exit status: 0 written,
// 1 failure, 2 usage, 3 the value is already the package's (no transform).
#include <filesystem>
#include <iostream>

#include <unistd.h>

#include "engine/db/database.h"
#include "engine/mst/transform.h"
#include "engine/sql/view.h"

namespace fs = std::filesystem;

int main(int argc, char** argv) {
  if (argc != 5) {
    std::cerr << "usage: set_property PACKAGE NAME VALUE OUT.mst\n";
    return 2;
  }
  const fs::path package = argv[1], out = argv[4];
  const std::string name = argv[2], value = argv[3];
  try {
    // Records number their fields from 1, as the installer's do.
    // The reference: the package as it is, never written.
    auto reference = msi::Database::open(package, msi::OpenMode::ReadOnly);
    auto view = msi::View::open(*reference, "SELECT `Property`, `Value` FROM `Property`");
    view->execute();
    while (auto row = view->fetch()) std::cout << row->stringData(1) << " = " << row->stringData(2) << '\n';

    // The working copy: a copy of the file in a private folder, changed in memory only (it is
    // never committed) and removed at the end.
    struct Scratch {
      fs::path folder = fs::temp_directory_path() / ("set_property-" + std::to_string(::getpid()));
      Scratch() { fs::create_directory(folder); fs::permissions(folder, fs::perms::owner_all); }
      ~Scratch() { std::error_code ignored; fs::remove_all(folder, ignored); }
    } scratch;
    const fs::path copy = scratch.folder / "working.msi";
    fs::copy_file(package, copy);
    auto working = msi::Database::open(copy, msi::OpenMode::Transact);
    auto update = msi::View::open(*working, "SELECT `Property`, `Value` FROM `Property` WHERE `Property` = ?");
    msi::Record key(1);
    key.setStringData(1, name);
    update->execute(&key);
    if (auto row = update->fetch()) {
      row->setStringData(2, value);
      update->modify(msi::ModifyMode::Update, *row);
    } else {
      auto insert = msi::View::open(*working, "SELECT `Property`, `Value` FROM `Property`");
      insert->execute();
      msi::Record added(2);
      added.setStringData(1, name);
      added.setStringData(2, value);
      insert->modify(msi::ModifyMode::Insert, added);
    }

    if (!msi::mst::generateTransform(*working, *reference, out)) {
      std::cout << "the package already has " << name << " = " << value << "; no transform written\n";
      return 3;
    }
    msi::mst::createTransformSummaryInfo(*working, *reference, out, 0, 0);
    std::cout << "\n" << out.string() << ":\n";
    for (const auto& change : msi::mst::describeTransform(out, reference.get()))
      std::cout << msi::mst::formatChange(change) << '\n';
    return 0;
  } catch (const msi::Error& e) {
    std::cerr << "set_property: " << e.what() << " (" << msi::kindName(e.kind()) << ")\n";
    return 1;
  } catch (const fs::filesystem_error& e) {
    std::cerr << "set_property: " << e.what() << "\n";
    return 1;
  }
}
