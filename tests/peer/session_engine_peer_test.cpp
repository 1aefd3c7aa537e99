// Our session against Wine's installer service on the same packages: every condition text the
// packages hold, the condition corpus of tests/session, each feature's request state after
// CostFinalize and every directory's resolved path. Both sides run the UI sequence the same
// way (UI level none, dialogs and ExecuteAction passed over, custom actions of types 19, 35
// and 51 only).
//
// Where the two differ by design, the difference is listed below with its reason:
// - Machine properties that differ by design ("machine" in session-departures.txt: the version numbers of
//   Windows 10 against the prefix's Windows 7, RedirectedDllSupport): conditions on them may
//   differ.
// - Per-machine installations (ALLUSERS=1) get the all-users Desktop, Start menu, Programs,
//   Startup, Templates and Administrative Tools folders, as documented; Wine always gives the
//   user's. Directories below those folders compare by the folder they hang from.
// - Profile folders name the user (C:\users\root\ in Wine, C:\Users\root\ here): compared
//   without the profile root.
// - Conditions marked "docs" or "choice" in conditions.txt, and the "corpus" departures,
//   follow the documentation or our documented choice where Wine departs (see
//   engine/session/condition.h).
#include <cstdlib>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/session/sequence_runner.h"
#include "engine/session/session.h"
#include "tests/peer/our_session.h"
#include "engine/session/table_rows.h"
#include "tests/peer/probe.h"
#include "tests/session/corpus_file.h"
#include "tests/support/fixtures.h"
#include "tests/support/msitools.h"
#include "tests/support/table_sections.h"

namespace fennick::test {
using namespace fennick::peer;
namespace {
namespace fs = std::filesystem;

// The departures of session-departures.txt of one kind: what departs, and the rest of its row.
std::map<std::string, std::vector<std::string>> departures(const std::string& kind) {
  std::map<std::string, std::vector<std::string>> out;
  for (const auto& row : caseRows(fs::path(__FILE__).parent_path() / "session-departures.txt"))
    if (row.at(0) == kind) out[row.at(1)] = {row.begin() + 2, row.end()};
  return out;
}
const std::vector<std::string> kAllUsersFolders = {"DesktopFolder", "ProgramMenuFolder",
                                                   "StartMenuFolder", "StartupFolder",
                                                   "TemplateFolder", "AdminToolsFolder"};

const char* word(msi::ConditionResult r) {
  switch (r) {
    case msi::ConditionResult::False: return "false";
    case msi::ConditionResult::True: return "true";
    case msi::ConditionResult::None: return "none";
    default: return "error";
  }
}

// Wine's session of a package with every condition evaluated, `args` given to every run. The
// command line of a Windows program is limited: the conditions go in batches.
WineSession probe(const fs::path& pkg, const std::vector<std::string>& conditions,
                  const std::vector<std::string>& args, const fs::path& scratch) {
  WineSession wine;
  std::size_t i = 0;
  do {
    std::vector<std::string> batch = args;
    for (std::size_t length = 0; i < conditions.size() && (length == 0 || length + conditions[i].size() <= 6000); ++i) {
      length += conditions[i].size() + 3;
      batch.push_back(conditions[i]);
    }
    WineSession run = runSession(pkg, batch, scratch);
    run.evals.merge(wine.evals);
    wine = std::move(run);
  } while (i < conditions.size());
  return wine;
}

// Every condition text of the tables that hold conditions, each once.
std::vector<std::string> conditionsOf(const fs::path& pkg) {
  auto db = msi::Database::open(pkg, msi::OpenMode::ReadOnly);
  std::set<std::string> seen;
  std::vector<std::string> out;
  for (const char* table : {"InstallUISequence", "InstallExecuteSequence", "AdminUISequence", "AdminExecuteSequence",
                            "AdvtUISequence", "AdvtExecuteSequence", "Condition", "ControlCondition", "ControlEvent",
                            "LaunchCondition", "Component"}) {
    const msi::TableRows rows(*db, table, {"Condition"});
    for (std::size_t i = 0; i < rows.size(); ++i) {
      const std::string c = rows.text(i, 0);
      if (!c.empty() && seen.insert(c).second) out.push_back(c);
    }
  }
  return out;
}

bool mentionsDeparture(const std::string& condition) {
  for (const auto& [property, reason] : departures("machine"))
    if (condition.find(property) != std::string::npos) return true;
  return false;
}

// A path with the folder it hangs from written as [Folder] (the longest such folder wins).
std::string byFolder(const std::string& path, const std::map<std::string, std::string>& folders) {
  std::string best;
  for (const auto& [name, value] : folders)
    if (!value.empty() && path.starts_with(value) &&
        (best.empty() || value.size() > folders.at(best).size()))
      best = name;
  return best.empty() ? path : "[" + best + "]" + path.substr(folders.at(best).size());
}

std::string withoutProfile(std::string path, const std::string& profile) {
  const auto lower = [](std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
  };
  if (!profile.empty() && lower(path).starts_with(lower(profile)))
    return "<profile>\\" + path.substr(profile.size());
  return path;
}

TEST(SessionEnginePeer, ConditionsFeaturesAndDirectoriesAgreeWithWine) {
  FENNICK_REQUIRE_FIXTURES();
  FENNICK_REQUIRE_PROBE();
  const fs::path scratch = fennick::test::scratchDir();
  const auto packageProperties = departures("set");
  std::string differences;
  std::size_t conditionsCompared = 0, featuresCompared = 0, directoriesCompared = 0;
  for (const fs::path& pkg : fixturePackages()) {
    if (pkg.extension() != ".msi") continue;  // merge modules have no session
    SCOPED_TRACE(pkg.string());
    const std::string name = pkg.filename().string();
    const auto conditions = conditionsOf(pkg);
    std::vector<std::pair<std::string, std::string>> set;
    std::vector<std::string> args = {"--property", "ALLUSERS"};
    for (const std::string& f : kAllUsersFolders) args.insert(args.end(), {"--property", f});
    if (packageProperties.count(name)) {
      const std::string assignment = packageProperties.at(name).at(0);
      set.emplace_back(assignment.substr(0, assignment.find('=')), assignment.substr(assignment.find('=') + 1));
      args.insert(args.end(), {"--set", assignment});
    }
    WineSession wine = probe(pkg, conditions, args, scratch);
    msi::ActionStatus status = msi::ActionStatus::NoAction;
    auto session = ourSession(pkg, msi::EmulatedMachine::forCurrentUser(), set, &status);
    EXPECT_EQ(status, msi::ActionStatus::Success) << "our UI sequence";

    WineSession ours;
    for (const std::string& c : conditions) {
      if (mentionsDeparture(c)) {
        wine.evals.erase(c);
      } else {
        ours.evals[c] = word(session->evaluateCondition(c));
      }
    }
    readStates(*session, ours, "?");
    // Directories are read by the folder they hang from (the documented all-users folders of a
    // per-machine installation) and without the profile root.
    const bool perMachine = session->property("ALLUSERS") == "1";
    for (const std::string& f : kAllUsersFolders) ours.properties[f] = session->property(f);
    const auto normalise = [&](WineSession& side, const std::string& profile) {
      std::map<std::string, std::string> folders;
      if (perMachine)
        for (const std::string& f : kAllUsersFolders) folders[f] = side.properties[f];
      for (auto& [key, path] : side.directories) path = withoutProfile(byFolder(path, folders), profile);
    };
    normalise(ours, session->machine().profileFolder());
    normalise(wine, "C:\\users\\" + session->machine().userName + "\\");
    differences += differencesOf(name, "condition", ours.evals, wine.evals) +
                   differencesOf(name, "feature", ours.features, wine.features) +
                   differencesOf(name, "directory", ours.directories, wine.directories);
    conditionsCompared += ours.evals.size();
    featuresCompared += ours.features.size();
    directoriesCompared += ours.directories.size();
  }
  EXPECT_TRUE(differences.empty()) << "differences:" << differences;
  EXPECT_GT(conditionsCompared, 100u);
  EXPECT_GT(featuresCompared, 10u);
  EXPECT_GT(directoriesCompared, 20u);
}

// --- the condition corpus -------------------------------------------------------------------

// A package holding the corpus's properties, one level-1 feature FeatLocal with the component
// CompLocal, and a UI sequence that costs it (the tables in corpus-package/); built by
// msitools, not by us.
fs::path corpusPackage(const fennick::test::Corpus& corpus, const fs::path& dir) {
  const fs::path tables = fs::path(__FILE__).parent_path() / "corpus-package";
  std::string properties = ReadText(tables / "Property.idt");
  for (const auto& [name, value] : corpus.context.properties) properties += name + "\t" + value + "\r\n";
  std::ofstream(dir / "Property.idt", std::ios::binary) << properties;
  std::vector<fs::path> archives{dir / "Property.idt"};
  for (const char* t : {"Directory", "Feature", "Component", "FeatureComponents", "InstallUISequence"})
    archives.push_back(tables / (std::string(t) + ".idt"));
  EXPECT_EQ(msibuild(dir / "corpus.msi", archives,
                     {"Condition corpus", "Fennick", "Intel;1033", "{3D1F7A52-9B6C-4E8D-A0F1-2B3C4D5E6F70}"}),
            "");
  return dir / "corpus.msi";
}

TEST(SessionEnginePeer, TheConditionCorpusAgreesWithWine) {
  FENNICK_REQUIRE_PROBE();
  const fs::path scratch = fennick::test::scratchDir();
  const auto corpus = fennick::test::readCorpus(fennick::test::sessionTestDataDir() / "conditions.txt");
  ASSERT_TRUE(corpus.problems.empty()) << corpus.problems.front();
  ASSERT_GT(corpus.cases.size(), 300u);
  const fs::path pkg = corpusPackage(corpus, scratch);

  msi::EmulatedMachine machine = msi::EmulatedMachine::forCurrentUser();
  for (const auto& [name, value] : corpus.context.environmentVariables) {
    setenv(name.c_str(), value.c_str(), 1);  // Wine hands the process environment on
    machine.extraEnvironment[name] = value;
  }
  // Installed states other than a fresh installation's cannot be set up in Wine.
  const auto reproducible = [](const std::string& c) {
    for (const char* name : {"FeatRemove", "FeatSource", "FeatOdd", "CompSource", "CompKeep"})
      if (c.find(name) != std::string::npos) return false;
    return true;
  };
  std::vector<std::string> conditions;
  for (const auto& c : corpus.cases)
    if (reproducible(c.second)) conditions.push_back(c.second);
  const WineSession wine = probe(pkg, conditions, {}, scratch);
  auto ours = ourSession(pkg, machine);
  ASSERT_EQ(ours->featureRequestState("FeatLocal"), msi::InstallState::Local);

  const auto corpusDepartures = departures("corpus");
  WineSession mine;  // the marked cases take Wine's result, when there is one
  int marked = 0;
  for (const auto& c : corpus.cases) {
    if (!reproducible(c.second)) continue;
    if (c.marked || corpusDepartures.count(c.second)) {
      ++marked;
      mine.evals[c.second] = wine.evals.count(c.second) ? wine.evals.at(c.second) : "a result";
    } else {
      mine.evals[c.second] = word(ours->evaluateCondition(c.second));
    }
  }
  EXPECT_EQ(differencesOf("conditions.txt", "condition", mine.evals, wine.evals), "");
  EXPECT_GT(mine.evals.size(), 300u);
  EXPECT_GT(marked, 0);
}

}  // namespace
}  // namespace fennick::test
