// Every dialog of the real packages, loaded by the engine and compared with what msitools
// reads from the same Dialog and Control tables; and every push button of every dialog
// pressed once, which must end in a dialog, a result, or a refusal, never anything else.
#include <gtest/gtest.h>

#include <set>

#include "engine/dialogs/wizard.h"
#include "tests/support/msitools.h"
#include "tests/dialogs/dialog_test_support.h"
#include "tests/support/fixtures.h"
#include "tests/support/table_sections.h"

namespace fennick::test {
namespace {

using msi::dialogs::ControlType;
using msi::dialogs::OperationError;
using msi::dialogs::Wizard;

const char* const kUIPackages[] = {
    "ui-wix3-putty-installdir-featuretree/putty-0.68-installer.msi",
    "ui-wix3-minimal-gaze/GazeToolbarInstall.msi",
    "ui-wix3-installdir-tricky/ui.msi",
    "ui-vsinstaller-winget/AppInstallerTestMsiInstaller.msi",
    "ui-vsinstaller-filetype-small/fixture.msi",
};

std::unique_ptr<msi::Session> costedSession(const std::string& package, KeptMessages& host) {
  auto session = openSession(openFixture(package), host);
  for (const char* action : {"CostInitialize", "FileCost", "CostFinalize"}) session->doAction(action);
  return session;
}

std::vector<std::string> dialogNames(const std::filesystem::path& package) {
  std::vector<std::string> names;
  for (const auto& row : msiinfoRows(package, "Dialog"))
    if (row.size() == 10) names.push_back(row[0]);
  return names;
}

TEST(FixtureDialogs, EveryDialogMatchesWhatMsitoolsReads) {
  FENNICK_REQUIRE_MSITOOLS();
  for (const char* package : kUIPackages) {
    SCOPED_TRACE(package);
    KeptMessages host;
    auto session = costedSession(package, host);
    const auto names = dialogNames(fixture(package));
    ASSERT_FALSE(names.empty());
    std::map<std::string, std::unique_ptr<Wizard>> wizards;
    for (const std::string& name : names) {
      auto w = std::make_unique<Wizard>(*session, name);
      ASSERT_FALSE(w->dialogs().empty()) << name << ": " << host.all();
      wizards[name] = std::move(w);
    }
    for (const auto& row : msiinfoRows(fixture(package), "Dialog")) {
      if (row.size() != 10) continue;
      const msi::dialogs::Dialog* d = wizards.at(row[0])->dialogs().front();
      const std::vector<std::string> ours{std::to_string(d->width), std::to_string(d->height),
                                          std::to_string(d->attributes), d->cancelControl};
      EXPECT_EQ(ours, (std::vector<std::string>{row[3], row[4], row[5], row[9]})) << row[0];
    }
    // msitools writes a row whose text holds line breaks over several lines; those are not
    // compared.
    std::size_t compared = 0, whole = 0;
    for (const auto& [name, w] : wizards)
      for (const auto& c : w->dialogs().front()->controls)
        if (c.text.find_first_of("\r\n") == std::string::npos) ++whole;
    std::set<std::pair<std::string, std::string>> seen;
    for (const auto& row : msiinfoRows(fixture(package), "Control")) {
      if (row.size() != 12 || !wizards.contains(row[0])) continue;
      const msi::dialogs::Control* c = wizards.at(row[0])->dialogs().front()->find(row[1]);
      ASSERT_NE(c, nullptr) << row[0] << "." << row[1];
      EXPECT_NE(c->type, ControlType::Unknown) << row[2];
      const std::vector<std::string> ours{c->typeName, std::to_string(c->rect.x), std::to_string(c->rect.y),
                                          std::to_string(c->rect.width), std::to_string(c->rect.height),
                                          std::to_string(c->attributes), c->propertyColumn, c->next};
      EXPECT_EQ(ours, (std::vector<std::string>{row[2], row[3], row[4], row[5], row[6], row[7], row[8], row[10]}));
      seen.emplace(row[0], row[1]);
      ++compared;
    }
    EXPECT_EQ(seen.size(), compared);
    EXPECT_EQ(compared, whole);
  }
}

TEST(FixtureDialogs, EveryButtonOfEveryDialogCanBePressed) {
  FENNICK_REQUIRE_MSITOOLS();
  for (const char* package : kUIPackages) {
    SCOPED_TRACE(package);
    int pressed = 0;
    for (const std::string& name : dialogNames(fixture(package))) {
      KeptMessages host;
      auto session = costedSession(package, host);
      std::vector<std::string> buttons;
      {
        Wizard w(*session, name);
        if (w.finished()) continue;
        for (const auto& c : w.active().controls)
          if (c.type == ControlType::PushButton && c.visible && c.enabled) buttons.push_back(c.name);
      }
      for (const std::string& button : buttons) {
        Wizard w(*session, name);
        try {
          w.press(button);
        } catch (const OperationError&) {
          continue;  // an earlier press changed the state the button depends on
        }
        ++pressed;
        if (w.finished()) {
          EXPECT_NE(w.result(), msi::ActionStatus::NoAction) << name << "." << button;
          EXPECT_NE(w.result(), msi::ActionStatus::Failure) << name << "." << button << ": " << host.all();
        } else {
          EXPECT_FALSE(w.dialogs().empty());
        }
      }
    }
    EXPECT_GT(pressed, 20);
  }
}

// The button Return presses, as the packages' own ControlCondition rows choose it: dialog sets
// name a visible button and its hidden twin Default under one condition, and the one a user
// can see is the one that counts.
TEST(FixtureDialogs, TheDefaultButtonIsOneTheUserCanPress) {
  FENNICK_REQUIRE_FIXTURES();
  for (const auto& c : caseRows(sourcePath("tests/dialogs/fixture_cases.txt"), "TheDefaultButtonIsOneTheUserCanPress")) {
    SCOPED_TRACE(c[0] + " " + c[1]);
    KeptMessages host;
    auto session = costedSession(c[0], host);
    Wizard w(*session, c[1]);
    ASSERT_FALSE(w.finished()) << host.all();
    EXPECT_EQ(w.active().defaultControl, c[2]);
    const auto* button = w.active().find(c[2]);
    ASSERT_NE(button, nullptr);
    EXPECT_TRUE(button->visible && button->enabled);
  }
}

}  // namespace
}  // namespace fennick::test
