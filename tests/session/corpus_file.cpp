#include "tests/session/corpus_file.h"

#include <cctype>
#include <fstream>
#include <sstream>

namespace fennick::test {
namespace {

bool parseState(const std::string& word, msi::InstallState& state) {
  try {
    std::size_t used = 0;
    const int value = std::stoi(word, &used);
    if (used != word.size()) return false;
    state = static_cast<msi::InstallState>(value);
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace

std::filesystem::path sessionTestDataDir() { return std::filesystem::path(__FILE__).parent_path(); }

Corpus readCorpus(const std::filesystem::path& file) {
  Corpus corpus;
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    corpus.problems.push_back(file.string() + ": cannot open");
    return corpus;
  }
  std::string line;
  int number = 0;
  auto problem = [&](const std::string& cause) {
    corpus.problems.push_back(file.string() + ":" + std::to_string(number) + ": " + cause);
  };
  bool marked = false;
  while (std::getline(in, line)) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') {
      marked = line.starts_with("# docs") || line.starts_with("# choice");
      continue;
    }
    if (line[0] == '@') {
      const std::size_t space = line.find(' ');
      const std::string kind = line.substr(1, space == std::string::npos ? std::string::npos : space - 1);
      const std::string rest = space == std::string::npos ? std::string() : line.substr(space + 1);
      const std::size_t nameEnd = rest.find(' ');
      const std::string name = rest.substr(0, nameEnd);
      const std::string value = nameEnd == std::string::npos ? std::string() : rest.substr(nameEnd + 1);
      auto& c = corpus.context;
      if (name.empty()) {
        problem("setup line without a name");
      } else if (kind == "property") {
        c.properties[name] = value;
      } else if (kind == "env") {
        std::string upper = name;
        for (char& ch : upper) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
        c.environmentVariables[upper] = value;
      } else if (kind == "file") {
        c.fileTargets[name] = value;
      } else if (kind == "shortfile") {
        c.fileShortNames[name] = value;
      } else if (kind == "directory") {
        c.componentDirectories[name] = value;
      } else if (kind == "feature" || kind == "component") {
        std::istringstream words(value);
        std::string installed, action, extra;
        msi::InstallStates states;
        if (!(words >> installed >> action) || (words >> extra) ||
            !parseState(installed, states.installed) || !parseState(action, states.action))
          problem("expected two state numbers after the name");
        else
          (kind == "feature" ? c.features : c.components)[name] = states;
      } else {
        problem("unknown setup `@" + kind + "`");
      }
      continue;
    }
    const std::size_t tab = line.find('\t');
    if (tab == std::string::npos) {
      problem("no tab between the two columns");
      continue;
    }
    corpus.cases.push_back({number, line.substr(0, tab), line.substr(tab + 1), marked});
  }
  return corpus;
}

}  // namespace fennick::test
