// Small helpers for tests that build databases.
#pragma once

#include <fstream>
#include <iterator>
#include <string>

#include "engine/db/database.h"

namespace fennick::test {

inline msi::Column col(const std::string& name, const std::string& def, bool key = false) {
  msi::Column c = msi::Column::fromDefinition(name, def);
  c.key = key;
  return c;
}

inline msi::Bytes bytesOf(const std::string& s) { return msi::Bytes(s.begin(), s.end()); }

inline std::string fileText(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace fennick::test
