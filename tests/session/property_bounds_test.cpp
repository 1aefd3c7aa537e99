// A package cannot make a session hold without bound: doubling a property, or filling many.
#include <gtest/gtest.h>

#include "engine/session/session.h"
#include "tests/session/test_package.h"
#include "tests/support/session_checks.h"

namespace {

using fennick::test::messageOf;
using fennick::test::RecordingHost;
using fennick::test::TestPackage;
using fennick::test::testOptions;
using msi::ActionStatus;

TEST(PropertyBounds, DoublingCustomActionsStopTheSessionNamingPropertyAndAction) {
  TestPackage pkg;
  pkg.property("X", "0123456789abcdef");
  std::vector<msi::Row> actions;
  for (int i = 1; i <= 24; ++i) actions.push_back({"Grow" + std::to_string(i), 51, "X", "[X][X]"});
  pkg.add("CustomAction", actions);
  RecordingHost host;
  auto session = pkg.open(testOptions(&host));
  for (int i = 1; i <= 16; ++i) ASSERT_EQ(session->doAction("Grow" + std::to_string(i)), ActionStatus::Success);
  EXPECT_EQ(session->property("X").size(), std::size_t{1} << 20);  // exactly the bound is allowed

  const std::string stop =
      "property `X` set by action `Grow17`: a value of 2097152 bytes is more than a property may hold (1 MiB); "
      "the session stops";
  EXPECT_EQ(messageOf<msi::SessionLimitError>([&] { session->doAction("Grow17"); }), stop);
  // Stopped: nothing more runs or changes, and the failure was not shown as a failed action.
  EXPECT_EQ(messageOf<msi::SessionLimitError>([&] { session->doAction("Grow18"); }), stop);
  EXPECT_EQ(messageOf<msi::SessionLimitError>([&] { session->setProperty("Y", "1"); }), stop);
  EXPECT_EQ(session->property("X").size(), std::size_t{1} << 20);
  EXPECT_EQ(host.all(msi::MessageKind::Error), "");
}

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

TEST(PropertyBounds, AllValuesTogetherAreBoundedAndADialogCannotHideTheStop) {
  struct Case {
    bool inDialog;
    std::string prefix;
  };
  const Case cases[] = {
      {true, "property `P2` set by action `FillDlg`: all property values together would take "},
      {false, "property `P2`: all property values together would take "},  // no action runs
  };
  for (const auto& c : cases) {
    TestPackage pkg;
    pkg.add("Dialog", {{"FillDlg", "Fill"}});
    SwallowingDialogs dialogs;
    auto options = testOptions();
    options.dialogs = &dialogs;
    // The service's own properties count too: room for two more values of 400 bytes, not three.
    std::size_t base = 0;
    for (const auto& [name, value] : pkg.open(options)->properties()) base += value.size();
    options.limits.allPropertyBytes = base + 1000;
    auto session = pkg.open(options);
    try {
      if (c.inDialog) {
        session->doAction("FillDlg");
      } else {
        for (int i = 0;; ++i) session->setProperty("P" + std::to_string(i), std::string(400, 'v'));
      }
      ADD_FAILURE() << "no stop";
    } catch (const msi::SessionLimitError& e) {
      const std::string what = e.what();
      EXPECT_TRUE(what.starts_with(c.prefix)) << what;
      EXPECT_NE(what.find(" bytes, more than a session may hold ("), std::string::npos) << what;
      EXPECT_TRUE(what.ends_with("); the session stops")) << what;
    }
    EXPECT_EQ(session->property("P1").size(), 400u);
    EXPECT_EQ(session->property("P2"), "");
  }
}

}  // namespace
