// Running msitools from tests: what a second, independent reader sees in a package.
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace fennick::test {

struct Command {
  int status = -1;
  std::string out;
};

inline std::string shellQuote(const std::string& s) {
  std::string q = "'";
  for (const char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

inline Command run(const std::string& command) {
  Command r;
  FILE* p = popen((command + " 2>/dev/null").c_str(), "r");
  if (!p) return r;
  char buf[65536];
  std::size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
  r.status = pclose(p);
  return r;
}

inline std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    out.push_back(line);
    start = end + 1;
  }
  return out;
}

inline std::vector<std::string> split(const std::string& line, char sep) {
  std::vector<std::string> out;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = line.find(sep, start);
    out.push_back(line.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) return out;
    start = end + 1;
  }
}

// `msiinfo tables`, without the two pseudo tables it adds.
inline std::vector<std::string> msiinfoTables(const std::filesystem::path& pkg) {
  std::vector<std::string> out;
  for (auto& l : lines(run("msiinfo tables " + shellQuote(pkg.string())).out))
    if (!l.empty() && l != "_SummaryInformation" && l != "_ForceCodepage") out.push_back(l);
  return out;
}

// Rows of `msiinfo export PKG TABLE`: every line after the three header lines, split at tabs.
inline std::vector<std::vector<std::string>> msiinfoRows(const std::filesystem::path& pkg,
                                                         const std::string& table) {
  std::vector<std::vector<std::string>> out;
  const auto all = lines(run("msiinfo export " + shellQuote(pkg.string()) + " " + shellQuote(table)).out);
  for (std::size_t i = 3; i < all.size(); ++i) out.push_back(split(all[i], '\t'));
  return out;
}

}  // namespace fennick::test
