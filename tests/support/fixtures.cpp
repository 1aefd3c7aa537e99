#include "tests/support/fixtures.h"

#include <fstream>
#include <iterator>

#include <algorithm>
#include <cstdlib>

namespace fennick::test {
namespace fs = std::filesystem;

fs::path fixturesDir() {
  const char* env = std::getenv("FENNICK_FIXTURES");
  fs::path dir = env && *env ? fs::path(env) : fs::path(FENNICK_FIXTURES_DEFAULT);
  std::error_code ec;
  if (fs::is_directory(dir, ec)) return fs::canonical(dir, ec);
  return {};
}

fs::path fixture(const std::string& relative) { return fixturesDir() / relative; }

std::vector<fs::path> fixturePackages() {
  std::vector<fs::path> out;
  const fs::path dir = fixturesDir();
  if (dir.empty()) return out;
  for (const auto& e : fs::recursive_directory_iterator(dir)) {
    if (!e.is_regular_file()) continue;
    const auto ext = e.path().extension().string();
    if ((ext == ".msi" || ext == ".msm") && e.path().filename() != "corrupt-ole-header-then-xml.msi")
      out.push_back(e.path());
  }
  std::sort(out.begin(), out.end());
  return out;
}

fs::path scratchDir() {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = info ? std::string(info->test_suite_name()) + "." + info->name() : "scratch";
  for (char& c : name)
    if (c == '/') c = '_';
  fs::path dir = fs::current_path() / "test-scratch" / name;
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir;
}

fs::path scratchCopy(const std::string& relative, const std::string& as) {
  const fs::path path = scratchDir() / as;
  fs::copy_file(fixture(relative), path);
  return path;
}

std::string ReadText(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace fennick::test
