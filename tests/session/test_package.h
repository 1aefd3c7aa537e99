// Small packages built in memory for session tests: standard tables with their usual columns,
// filled row by row, and a host that keeps the session's messages.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "engine/db/database.h"
#include "engine/session/session.h"

namespace fennick::test {

// Options with the fixed machine and `host`.
msi::SessionOptions testOptions(msi::SessionHost* host = nullptr);

class TestPackage {
 public:
  TestPackage();  // an empty database in the test's scratch folder; nothing is written
  explicit TestPackage(const std::string& file) : TestPackage() { addText(file); }

  // Adds rows to a standard table, creating it with its usual columns on first use (key
  // column first; every other column nullable). Cells are msi::Value: {} for null.
  TestPackage& add(const std::string& table, const std::vector<msi::Row>& rows);
  // Adds the tables of package `name` (by default the running test's) in `file` beside these
  // tests, as tableSections reads it: an empty cell is null.
  TestPackage& addText(const std::string& file, const std::string& name = "");

  // A session on the package; the machine defaults to the fixed EmulatedMachine{}.
  std::unique_ptr<msi::Session> open(msi::SessionOptions options = testOptions()) const;

  std::shared_ptr<msi::Database> db;
};

class RecordingHost : public msi::SessionHost {
 public:
  void message(msi::MessageKind kind, std::string_view text) override {
    messages.emplace_back(kind, std::string(text));
  }
  // Every message of a kind, joined by newlines.
  std::string all(msi::MessageKind kind) const;
  std::vector<std::pair<msi::MessageKind, std::string>> messages;
};

// A session on the package with `properties` set as on a command line, after CostInitialize and
// CostFinalize (a failure of either fails the test).
std::unique_ptr<msi::Session> costed(const TestPackage& package,
                                     std::vector<std::pair<std::string, std::string>> properties = {});

// Passes when the session answers every query of section `name` (by default the running
// test's) of answers.txt beside these tests as written there; a failure names each that differs.
::testing::AssertionResult answers(const msi::Session& session, const std::string& name = "");

}  // namespace fennick::test
