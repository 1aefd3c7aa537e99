// Packages and runs for the dialog engine's tests: the project's demo package built from its
// table archives, small packages written as table rows, the real fixtures, and a UI sequence
// run driven by a walk.
#pragma once

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "engine/db/database.h"
#include "engine/dialogs/walk_player.h"
#include "engine/session/sequence_runner.h"
#include "engine/session/session.h"

namespace fennick::test {

// A file of the source tree ("examples/demo.walk").
std::filesystem::path sourcePath(const std::string& relative);

// The demo package, imported from examples/demo/*.idt into a fresh database in the test's
// scratch folder.
std::shared_ptr<msi::Database> demoPackage();

// A package from table rows: for each table, its rows as tab-separated lines (a null cell is
// an empty field). The column definitions of the standard tables the dialog engine reads are
// known; rows are added to a copy of the demo package when `overDemo` is true, else to an
// empty package with only what is given (plus ProductName).
std::shared_ptr<msi::Database> rowsPackage(const std::map<std::string, std::string>& tables, bool overDemo = false);

class KeptMessages : public msi::SessionHost {
 public:
  void message(msi::MessageKind kind, std::string_view text) override {
    messages.emplace_back(kind, std::string(text));
  }
  std::string all() const;
  ::testing::AssertionResult said(std::string_view text) const;  // some message holds `text`
  std::vector<std::pair<msi::MessageKind, std::string>> messages;
};

// A session on the package with the fixed emulated machine and `host`.
std::unique_ptr<msi::Session> openSession(std::shared_ptr<msi::Database> db, msi::SessionHost& host,
                                          msi::DialogRunner* runner = nullptr,
                                          std::vector<std::pair<std::string, std::string>> properties = {});

// A UI sequence run answered by a walk.
struct PlayedRun {
  std::unique_ptr<msi::Session> session;
  std::shared_ptr<msi::dialogs::Walk> walk;
  std::unique_ptr<msi::dialogs::WalkPlayer> player;
  msi::SequenceResult sequence;
  KeptMessages host;

  // Passes when the walk fitted and was played to its end.
  ::testing::AssertionResult playedThrough() const;
  // How the sequence ended ("success", "user exit", ...), then the facts as factsOf writes
  // them; "dialogs=" is the dialog actions that ran, with their results.
  std::string outcome(const std::vector<std::string>& facts) const;
};

// For each of `facts` (each "NAME=..." with what is expected after the `=`), a line with what
// the session has: "NAME=" a property's value, "&Feature=" the feature's request state as its
// number, "[DIR]=" a directory's target path,
// "Control.field=" a field of that control of the wizard's active dialog (text, style, value,
// help, image, icon, highlighted; enabled, visible and checked as yes or no; items: the
// values of its items, or its tree's features with their states, separated by ", "), and
// "said=" the expected text when a message holds it (else every message). Each line starts
// with a line break, as asLines writes what is expected.
std::string factsOf(const msi::Session& session, const KeptMessages& host, const std::vector<std::string>& facts,
                    const msi::dialogs::Wizard* wizard = nullptr);
std::string asLines(const std::vector<std::string>& facts);
// Passes when every one of `facts` holds; a failure shows what the session has.
::testing::AssertionResult hasFacts(const msi::Session& session, const KeptMessages& host,
                                    const std::vector<std::string>& facts, const msi::dialogs::Wizard* wizard = nullptr);

// Runs the package's InstallUISequence (up to ExecuteAction) with the walk answering its
// dialogs.
std::unique_ptr<PlayedRun> playWalk(std::shared_ptr<msi::Database> db, msi::dialogs::Walk walk,
                                    std::vector<std::pair<std::string, std::string>> properties = {});
std::shared_ptr<msi::Database> openFixture(const std::string& relative);

// The tables of package `name` (by default the running test's) in a file below tests/, as
// tableSections reads it.
std::map<std::string, std::string> packageRows(const std::string& file, const std::string& name = "");

}  // namespace fennick::test
