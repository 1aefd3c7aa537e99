// A package cannot make a session hold without bound: filling many properties. (Doubling one
// property until it passes its bound: ToolWalk.ADoublingPropertyStopsTheRunWithStatusOne.)
#include <gtest/gtest.h>

#include "engine/session/session.h"
#include "tests/session/test_package.h"
#include "tests/support/session_checks.h"

namespace {

using namespace fennick::test;
using msi::ActionStatus;

// A dialog that catches the engine's errors and ends with Failure, as the wizard does.
class SwallowingDialogs : public msi::DialogRunner {
 public:
  ActionStatus runDialog(msi::Session& session, std::string_view) override {
    try {
      for (int i = 0;; ++i) session.setProperty("P" + std::to_string(i), std::string(400, 'v'));
    } catch (const msi::Error&) {
      return ActionStatus::Failure;
    }
  }
};

TEST(PropertyBounds, AllValuesTogetherAreBoundedAndNothingHidesTheStop) {
  // The action that runs ("" for none) and how the stop begins.
  const std::pair<std::string, std::string> cases[] = {
      {"FillDlg", "property `P2` set by action `FillDlg`: all property values together would take "},
      {"Big", "property `P0` set by action `Big`: all property values together would take "},
      {"", "property `P2`: all property values together would take "},
  };
  for (const auto& [action, prefix] : cases) {
    SCOPED_TRACE(action);
    TestPackage pkg;
    pkg.add("Dialog", {{"FillDlg", "Fill"}});
    pkg.add("CustomAction", {{"Big", 51, "P0", std::string(1001, 'v')}});
    SwallowingDialogs dialogs;
    RecordingHost host;
    auto options = testOptions(&host);
    options.dialogs = &dialogs;
    // The service's own properties count too: room for two more values of 400 bytes, not three.
    std::size_t base = 0;
    for (const auto& [name, value] : pkg.open(options)->properties()) base += value.size();
    options.limits.allPropertyBytes = base + 1000;
    auto session = pkg.open(options);
    std::string stop;
    try {
      if (!action.empty()) {
        session->doAction(action);
      } else {
        for (int i = 0;; ++i) session->setProperty("P" + std::to_string(i), std::string(400, 'v'));
      }
      ADD_FAILURE() << "no stop";
    } catch (const msi::SessionLimitError& e) {
      stop = e.what();
      EXPECT_TRUE(stop.starts_with(prefix)) << stop;
      EXPECT_NE(stop.find(" bytes, more than a session may hold ("), std::string::npos) << stop;
      EXPECT_TRUE(stop.ends_with("); the session stops")) << stop;
    }
    EXPECT_EQ(session->property("P1").size(), action == "Big" ? 0u : 400u);
    EXPECT_EQ(session->property("P2"), "");
    // Stopped: nothing more changes, and the stop was not shown as a failed action.
    EXPECT_EQ(messageOf<msi::SessionLimitError>([&] { session->setProperty("Y", "1"); }), stop);
    EXPECT_EQ(host.all(msi::MessageKind::Error), "");
  }
}

}  // namespace
