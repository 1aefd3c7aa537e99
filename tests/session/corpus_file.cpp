#include "tests/session/corpus_file.h"

#include <cctype>
#include <fstream>
#include <sstream>

#include "engine/text/integers.h"

namespace fennick::test {

std::filesystem::path sessionTestDataDir() { return std::filesystem::path(__FILE__).parent_path(); }

Corpus readCorpus(const std::filesystem::path& file) {
  Corpus corpus;
  std::ifstream in(file, std::ios::binary);
  if (!in) corpus.problems.push_back(file.string() + ": cannot open");
  auto& c = corpus.context;
  bool marked = false;
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    const auto problem = [&](const std::string& cause) {
      corpus.problems.push_back(file.string() + ":" + std::to_string(number) + ": " + cause);
    };
    if (line.ends_with('\r')) line.pop_back();
    if (line.empty() || line[0] == '#') {
      marked = line.starts_with("# docs") || line.starts_with("# choice");
      continue;
    }
    if (line[0] != '@') {
      const std::size_t tab = line.find('\t');
      if (tab == std::string::npos) problem("no tab between the two columns");
      else corpus.cases.push_back({number, line.substr(0, tab), line.substr(tab + 1), marked});
      continue;
    }
    // "@kind NAME VALUE": the value is everything after the blank that ends the name.
    const std::size_t space = line.find(' '), nameEnd = line.find(' ', space + 1);
    const std::string kind = line.substr(1, space - 1);
    const std::string name = space == std::string::npos ? "" : line.substr(space + 1, nameEnd - space - 1);
    const std::string value = nameEnd == std::string::npos ? "" : line.substr(nameEnd + 1);
    if (name.empty()) {
      problem("setup line without a name");
    } else if (kind == "property") {
      c.properties[name] = value;
    } else if (kind == "env") {
      std::string upper = name;
      for (char& ch : upper) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
      c.environmentVariables[upper] = value;
    } else if (kind == "file" || kind == "shortfile" || kind == "directory") {
      (kind == "file" ? c.fileTargets : kind == "shortfile" ? c.fileShortNames : c.componentDirectories)[name] = value;
    } else if (kind == "feature" || kind == "component") {
      std::istringstream words(value);
      std::string installed, action, extra;
      words >> installed >> action >> extra;
      const auto i = msi::text::parseInt32(installed), a = msi::text::parseInt32(action);
      if (!i || !a || !extra.empty()) problem("expected two state numbers after the name");
      else (kind == "feature" ? c.features : c.components)[name] = {msi::InstallState(*i), msi::InstallState(*a)};
    } else {
      problem("unknown setup `@" + kind + "`");
    }
  }
  return corpus;
}

}  // namespace fennick::test
