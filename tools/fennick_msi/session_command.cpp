// session: runs the non-dialog actions of a package's InstallUISequence up to ExecuteAction and
// prints what the session holds then, one tab-separated record a line:
//   action NAME RESULT        per sequence row: a status number, false (condition false),
//                             dialog (passed over) or execute (where the run stops)
//   sequence STATUS           the status that ended the run (1 when it went through)
//   eval RESULT CONDITION     per --eval, in order: true, false, none or error
//   feature NAME STATE        the feature's action state: unknown, advertised, absent, local, source
//   directory NAME PATH       the resolved target path ("" when unresolved)
//   property NAME VALUE       every property, by name
// --transform MST (repeatable) applies transforms to the package in memory first. --machine NAME|FILE
// runs it on a built-in machine or the machine a machine file describes (default win10-x64);
// --property NAME=VALUE (or --set, repeatable) sets a property as an installer command line
// does. --json prints
// the same as one JSON object: actions, sequence, eval, features, directories, properties.
// The state and result words are those of the peer probe, so the two outputs compare line by line.
#include <string>

#include "engine/mst/transform.h"
#include "engine/session/machine_file.h"
#include "engine/session/sequence_runner.h"
#include "engine/session/session.h"
#include "tools/fennick_msi/command.h"
#include "tools/fennick_msi/json_writer.h"
#include "engine/text/integers.h"

namespace fennick::msicli {
namespace {

std::string stateWord(msi::InstallState state) {
  switch (state) {
    case msi::InstallState::Unknown: return "unknown";
    case msi::InstallState::Broken: return "broken";
    case msi::InstallState::Advertised: return "advertised";
    case msi::InstallState::Absent: return "absent";
    case msi::InstallState::Local: return "local";
    case msi::InstallState::Source: return "source";
    case msi::InstallState::Default: return "default";
  }
  return std::to_string(static_cast<int>(state));
}

const char* conditionWord(msi::ConditionResult result) {
  switch (result) {
    case msi::ConditionResult::False: return "false";
    case msi::ConditionResult::True: return "true";
    case msi::ConditionResult::None: return "none";
    case msi::ConditionResult::Error: return "error";
  }
  return "error";
}

}  // namespace

int Session(const Args& given, std::ostream& out) {
  Args args = given;
  const bool json = TakeFlag(args, "--json");
  std::string package;
  std::vector<std::string> conditions;
  std::vector<std::string> transforms;
  msi::SessionOptions options;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--eval" || a == "--set" || a == "--property" || a == "--ui-level" ||
        a == "--transform" || a == "--machine") {
      if (i + 1 >= args.size()) throw UsageError(a + " needs a value");
      const std::string& value = args[++i];
      if (a == "--eval") {
        conditions.push_back(value);
      } else if (a == "--transform") {
        transforms.push_back(value);
      } else if (a == "--machine") {
        options.machine = msi::loadMachine(value);
      } else if (a == "--set" || a == "--property") {
        const std::size_t eq = value.find('=');
        if (eq == std::string::npos || eq == 0) throw UsageError(a + " needs NAME=VALUE");
        options.properties.emplace_back(value.substr(0, eq), value.substr(eq + 1));
      } else {
        const auto level = msi::text::parseInt32(value, msi::text::PlusSign::Allowed);
        if (!level) throw UsageError("--ui-level needs a number, not `" + value + "`");
        options.uiLevel = *level;
      }
    } else if (package.empty() && !a.starts_with("--")) {
      package = a;
    } else {
      throw UsageError("unexpected argument `" + a + "`");
    }
  }
  if (package.empty()) throw UsageError("needs a package");

  // Transforms are applied in memory, in order, as the installer applies TRANSFORMS.
  std::shared_ptr<msi::Database> db = msi::Database::open(package, msi::OpenMode::ReadOnly);
  for (const std::string& mst : transforms) msi::mst::applyTransform(*db, mst, 0);
  auto session = msi::Session::open(std::move(db), options);
  msi::SequenceOptions sequence;
  sequence.runDialogs = false;
  const msi::SequenceResult run = msi::runSequence(*session, "InstallUISequence", sequence);
  // What the session holds, as (name, value) lines per section, printed in either form.
  const auto stepResult = [](const msi::SequenceStep& step) -> std::string {
    switch (step.kind) {
      case msi::SequenceStep::Kind::Ran: return std::to_string(static_cast<int>(step.status));
      case msi::SequenceStep::Kind::ConditionFalse: return "false";
      case msi::SequenceStep::Kind::DialogSkipped: return "dialog";
      case msi::SequenceStep::Kind::ExecuteAction: return "execute";
    }
    return "";
  };
  using Pairs = std::vector<std::pair<std::string, std::string>>;
  Pairs actions, evals, features, directories;
  for (const msi::SequenceStep& step : run.steps) actions.emplace_back(step.action, stepResult(step));
  for (const std::string& condition : conditions)
    evals.emplace_back(conditionWord(session->evaluateCondition(condition)), condition);
  if (const msi::FeatureTree* tree = session->featureTree())
    for (const msi::FeatureEntry& f : tree->entries()) features.emplace_back(f.name, stateWord(session->featureRequestState(f.name)));
  if (const msi::DirectoryTree* tree = session->directoryTree())
    for (const msi::DirectoryEntry& d : tree->entries()) directories.emplace_back(d.key, session->targetPath(d.key).value_or(""));
  const int status = static_cast<int>(run.status);

  if (json) {
    JsonWriter w(out);
    const auto list = [&w](const char* section, const Pairs& pairs, const char* first, const char* second) {
      w.key(section).beginArray();
      for (const auto& [a, b] : pairs) w.beginObject().key(first).string(a).key(second).string(b).endObject();
      w.endArray();
    };
    w.beginObject();
    list("actions", actions, "action", "result");
    w.key("sequence").number(status);
    list("eval", evals, "result", "condition");
    list("features", features, "name", "state");
    list("directories", directories, "name", "path");
    w.key("properties").beginObject();
    for (const auto& [name, value] : session->properties()) w.key(name).string(value);
    w.endObject().endObject();
  } else {
    for (const auto& [action, result] : actions) out << "action\t" << Field(action) << '\t' << result << '\n';
    out << "sequence\t" << status << '\n';
    for (const auto& [result, condition] : evals) out << "eval\t" << result << '\t' << Field(condition) << '\n';
    for (const auto& [name, state] : features) out << "feature\t" << Field(name) << '\t' << state << '\n';
    for (const auto& [name, path] : directories) out << "directory\t" << Field(name) << '\t' << Field(path) << '\n';
    for (const auto& [name, value] : session->properties())
      out << "property\t" << Field(name) << '\t' << Field(value) << '\n';
  }
  const bool failed = run.status != msi::ActionStatus::Success;
  return failed ? 1 : 0;
}

}  // namespace fennick::msicli
