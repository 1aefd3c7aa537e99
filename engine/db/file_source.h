// The compound file a database reads from, shared with lazy loaders (binary cells, tables) so
// that they follow the database to the new file after a commit.
#pragma once

#include <memory>
#include <string>

#include "engine/cfb/compound_file.h"
#include "engine/db/value.h"

namespace msi {

struct FileSource {
  std::shared_ptr<const cfb::Reader> reader;  // null for a database not yet written
  std::string name;                           // path or given name, for messages

  // Whole stream at `path`; cfb failures become Error naming the file.
  Bytes read(const cfb::Path& path) const {
    if (!reader) throw Error(name + ": database has not been written yet");
    return reader->read(path);
  }
  bool exists(const cfb::Path& path) const {
    if (!reader) return false;
    return reader->find(path).has_value();
  }
};

}  // namespace msi
