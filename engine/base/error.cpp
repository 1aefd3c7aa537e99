#include "engine/base/error.h"

namespace msi {

std::string_view kindName(ErrorKind kind) {
  switch (kind) {
    case ErrorKind::NotFound: return "not found";
    case ErrorKind::BadData: return "bad data";
    case ErrorKind::Syntax: return "syntax";
    case ErrorKind::Constraint: return "constraint";
    case ErrorKind::Io: return "I/O";
    case ErrorKind::Limit: return "limit";
    case ErrorKind::Unsupported: return "unsupported";
  }
  return "error";
}

}  // namespace msi
