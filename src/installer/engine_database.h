// Engine backend: the tool's Database, View and Record over the engine's.
#pragma once

#include <memory>
#include <string>

#include "engine/db/database.h"
#include "engine/dialogs/walk.h"
#include "src/installer/dialog_host.h"
#include "src/installer/installer.h"

namespace fennick::installer {

// Runs `body`, turning engine errors into the service's errors with their description.
template <typename F>
auto Translate(F&& body, int number = 0) -> decltype(body()) {
  try {
    return body();
  } catch (const Error&) {
    throw;
  } catch (const WalkMismatch&) {
    throw;  // a walk that does not fit the package is the caller's to report
  } catch (const msi::dialogs::WalkError& e) {
    throw WalkMismatch(e.what());
  } catch (const std::exception& e) {
    throw Error(e.what(), number);
  }
}

std::shared_ptr<Database> WrapDatabase(std::shared_ptr<msi::Database> db);
// A handle on a read-only database that others (a session, other handles) read too: the
// first operation that could change it (a view, an import, a transform applied) gives this
// handle a database of its own, read again from `path`, so no change shows through the others.
std::shared_ptr<Database> WrapSharedDatabase(std::shared_ptr<msi::Database> db, std::string path);
// The engine database behind one of ours (for the operations between two databases).
msi::Database& Unwrap(Database& db);
std::shared_ptr<msi::Database> UnwrapShared(Database& db);
// An empty record of `fields` fields.
std::shared_ptr<Record> NewRecord(int fields);

}  // namespace fennick::installer
