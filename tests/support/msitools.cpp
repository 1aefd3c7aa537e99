#include "tests/support/msitools.h"

#include <sys/wait.h>

#include <cstdio>

namespace fennick::test {

std::string shellQuote(const std::string& s) {
  std::string q = "'";
  for (const char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

Command run(const std::string& command, bool keepErrors) {
  Command r;
  FILE* p = popen((command + (keepErrors ? " 2>&1" : " 2>/dev/null")).c_str(), "r");
  if (!p) return r;
  char buf[65536];
  std::size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
  const int rc = pclose(p);
  r.status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
  return r;
}

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  for (std::size_t start = 0; start < text.size();) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    out.push_back(line);
    start = end + 1;
  }
  return out;
}

std::vector<std::string> split(const std::string& line, char sep) {
  std::vector<std::string> out;
  for (std::size_t start = 0;;) {
    const std::size_t end = line.find(sep, start);
    out.push_back(line.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) return out;
    start = end + 1;
  }
}

bool haveMsitools() {
  static const bool have = run("msiinfo --version").status == 0;
  return have;
}

std::string msiinfo(const std::string& command, const std::filesystem::path& pkg, const std::string& arg) {
  return run("msiinfo " + command + " " + shellQuote(pkg.string()) + (arg.empty() ? "" : " " + shellQuote(arg))).out;
}

std::vector<std::string> msiinfoTables(const std::filesystem::path& pkg) {
  std::vector<std::string> out;
  for (auto& l : lines(msiinfo("tables", pkg)))
    if (!l.empty() && l != "_SummaryInformation" && l != "_ForceCodepage") out.push_back(l);
  return out;
}

std::vector<std::vector<std::string>> msiinfoRows(const std::filesystem::path& pkg, const std::string& table) {
  std::vector<std::vector<std::string>> out;
  const auto all = lines(msiinfo("export", pkg, table));
  for (std::size_t i = 3; i < all.size(); ++i) out.push_back(split(all[i], '\t'));
  return out;
}

std::string msibuild(const std::filesystem::path& pkg, const std::vector<std::filesystem::path>& archives,
                     const std::vector<std::string>& summary) {
  std::string tables = "msibuild " + shellQuote(pkg.string()), info = "msibuild " + shellQuote(pkg.string()) + " -s";
  for (const auto& archive : archives) tables += " -i " + shellQuote(std::filesystem::absolute(archive).string());
  for (const auto& field : summary) info += " " + shellQuote(field);
  // msibuild takes the summary information in a run of its own.
  for (const std::string& command : {tables, info})
    if (const Command r = run(command, true); r.status != 0) return command + ": " + r.out;
  return "";
}

}  // namespace fennick::test
