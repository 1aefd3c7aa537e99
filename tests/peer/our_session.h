// Our engine's side of the session peer checks: a silent session over a package on a given
// machine, its whole InstallUISequence run (dialogs passed over), as Wine's probe runs it;
// `status`, when given, receives how the sequence ended.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/session/sequence_runner.h"
#include "engine/session/session.h"
#include "tests/peer/probe.h"

namespace fennick::peer {

inline std::unique_ptr<msi::Session> ourSession(const std::filesystem::path& pkg, msi::EmulatedMachine machine,
                                                const std::vector<std::pair<std::string, std::string>>& set = {},
                                                msi::ActionStatus* status = nullptr) {
  msi::SessionOptions options;
  options.properties = set;
  options.uiLevel = msi::kUILevelNone;
  options.machine = std::move(machine);
  options.host = nullptr;
  auto session = msi::Session::open(pkg, options);
  msi::SequenceOptions sequence;
  sequence.runDialogs = false;
  sequence.stopAtExecuteAction = false;
  const msi::ActionStatus ran = msi::runSequence(*session, "InstallUISequence", sequence).status;
  if (status) *status = ran;
  return session;
}

// A feature state as the probe writes it.
inline std::string stateWord(msi::InstallState s) {
  switch (s) {
    case msi::InstallState::Unknown: return "unknown";
    case msi::InstallState::Advertised: return "advertised";
    case msi::InstallState::Absent: return "absent";
    case msi::InstallState::Local: return "local";
    case msi::InstallState::Source: return "source";
    default: return std::to_string(static_cast<int>(s));
  }
}

// Our session's feature request states and target paths, in the probe's words, into the
// same fields Wine's are read into; `noPath` stands for a directory without a target path.
inline void readStates(const msi::Session& session, WineSession& ours, const std::string& noPath) {
  if (const msi::FeatureTree* tree = session.featureTree())
    for (const auto& f : tree->entries()) ours.features[f.name] = stateWord(session.featureRequestState(f.name));
  if (const msi::DirectoryTree* tree = session.directoryTree())
    for (const auto& d : tree->entries()) ours.directories[d.key] = session.targetPath(d.key).value_or(noPath);
}

}  // namespace fennick::peer
