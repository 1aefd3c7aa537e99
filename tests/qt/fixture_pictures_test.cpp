// Real packages' dialogs, drawn: wizards authored with the usual dialog sets (banners,
// bitmaps, licence texts, feature trees) render without a window. Every dialog of every
// package with a user interface goes to pictures/<package>-<dialog>.png for reviewers.
#include <algorithm>
#include <map>
#include <memory>

#include <QImage>

#include <gtest/gtest.h>

#include "engine/qt/dialog_picture.h"
#include "engine/session/table_rows.h"
#include "engine/qt/unit_scale.h"
#include "engine/session/sequence_runner.h"
#include "tests/dialogs/dialog_test_support.h"
#include "tests/qt/qt_test_support.h"
#include "tests/support/fixtures.h"
#include "tests/support/table_sections.h"

namespace fennick::test {
namespace {

// Draws every dialog of the Dialog table as a user meets it. The sequence runs as if the user
// went on from each dialog it shows: those are drawn as they appear (a modeless one as the
// next dialog replaces it, after the actions that ran meanwhile published their texts), the
// others, reached from buttons, once the sequence ends with costing done.
class EveryDialogRunner : public msi::DialogRunner {
 public:
  explicit EveryDialogRunner(std::string stem) : stem_(std::move(stem)) {}
  msi::ActionStatus runDialog(msi::Session& session, std::string_view dialog) override {
    drawModeless();
    auto wizard = std::make_unique<msi::dialogs::Wizard>(session, dialog);
    if (!wizard->finished() || wizard->dialogs().empty()) {
      draw(*wizard, std::string(dialog));
      return wizard->finished() ? wizard->result() : msi::ActionStatus::Success;
    }
    modeless_ = std::move(wizard);  // stays on screen while the sequence runs on
    return msi::ActionStatus::Success;
  }

  void drawTheRest(msi::Session& session) {
    drawModeless();
    msi::TableRows table(*session.database(), "Dialog", {"Dialog"});
    for (std::size_t r = 0; r < table.size(); ++r)
      if (std::find(drawn.begin(), drawn.end(), table.text(r, 0)) == drawn.end())
        draw(msi::dialogs::Wizard(session, table.text(r, 0)), table.text(r, 0));
  }

  std::vector<std::string> drawn, failed;
  std::map<std::string, std::string> actionTexts;  // a dialog's ActionText control as drawn

 private:
  void drawModeless() {
    if (modeless_) draw(*modeless_, modeless_->dialogs().back()->name);
    modeless_.reset();
  }
  // Draws the wizard's dialog `name`, or notes that it could not be shown.
  void draw(const msi::dialogs::Wizard& wizard, const std::string& name) {
    if (wizard.dialogs().empty()) return failed.push_back(name);
    const msi::dialogs::Dialog& dialog = *wizard.dialogs().back();
    const QImage image = msi::qt::dialogImage(wizard);
    image.save(QString::fromStdString(picturePath(stem_ + "-" + dialog.name).string()), "PNG");
    const QSize expected(msi::qt::unitsToPixelsX(dialog.width), msi::qt::unitsToPixelsY(dialog.height));
    if (image.size() != expected) failed.push_back(dialog.name + " (drawn at the wrong size)");
    for (const auto& c : dialog.controls) {
      if (c.type == msi::dialogs::ControlType::SelectionTree && c.tree.empty())
        failed.push_back(dialog.name + " (its selection tree is empty)");
      if (c.name == "ActionText") actionTexts[dialog.name] = c.text;
    }
    drawn.push_back(dialog.name);
  }

  std::string stem_;
  std::unique_ptr<msi::dialogs::Wizard> modeless_;
};

TEST(EveryDialogPicture, EveryDialogOfThePackageIsDrawn) {
  FENNICK_REQUIRE_FIXTURES();
  qtApplication();
  for (const auto& p : caseRows(sourcePath("tests/qt/fixture_pictures.txt"))) {
    SCOPED_TRACE(p.at(1));
    EveryDialogRunner runner(p[0]);
    KeptMessages host;
    auto session = openSession(openFixture(p[1]), host, &runner);
    msi::runSequence(*session, "InstallUISequence");
    runner.drawTheRest(*session);
    EXPECT_EQ(runner.drawn.size(), std::stoul(p.at(2))) << host.all();
    EXPECT_TRUE(runner.failed.empty()) << ::testing::PrintToString(runner.failed) << host.all();
    if (p.size() > 3) {
      EXPECT_EQ(runner.actionTexts["PrepareDlg"], p[3]);
    }
  }
}

}  // namespace
}  // namespace fennick::test
