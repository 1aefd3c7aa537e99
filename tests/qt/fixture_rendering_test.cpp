// Real packages' dialogs as a user sees them: authored pictures in their own colours, access
// keys underlined and working, list headers and feature menus in the package's own texts, the
// licence as rich text, and the focus following the package's tab order.
#include <cstdlib>
#include <memory>
#include <string>

#include <QApplication>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QRadioButton>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include "engine/dialogs/wizard.h"
#include "engine/qt/dialog_picture.h"
#include "engine/qt/dialog_view.h"
#include "engine/qt/rtf_text.h"
#include "engine/qt/selection_tree_widget.h"
#include "engine/qt/unit_scale.h"
#include "tests/dialogs/dialog_test_support.h"
#include "tests/qt/qt_test_support.h"
#include "tests/support/fixtures.h"
#include "tests/support/table_sections.h"

// How Qt delivers a key press to the shortcut map first, as a keyboard does (QtGui's own).
Q_GUI_EXPORT bool qt_sendShortcutOverrideEvent(QObject* o, ulong timestamp, int k, Qt::KeyboardModifiers mods,
                                               const QString& text, bool autorep = false, ushort count = 1);

namespace fennick::test {
namespace {

using msi::dialogs::Wizard;
using msi::qt::DialogView;

// A dialog of a fixture after costing, drawn by a view that is laid out as a shown window.
struct Drawn {
  KeptMessages host;
  std::unique_ptr<msi::Session> session;
  std::unique_ptr<Wizard> wizard;
  std::unique_ptr<DialogView> view;

  template <typename T>
  T* widget(const std::string& control) const {
    T* w = qobject_cast<T*>(view->widget(control));
    if (!w) ADD_FAILURE() << "no widget for `" << control << "`";
    return w;
  }
};

std::unique_ptr<Drawn> draw(const std::string& package, const std::string& dialog) {
  qtApplication();
  auto d = std::make_unique<Drawn>();
  d->session = openSession(openFixture(package), d->host);
  for (const char* action : {"CostInitialize", "FileCost", "CostFinalize"}) d->session->doAction(action);
  d->wizard = std::make_unique<Wizard>(*d->session, dialog);
  if (d->wizard->dialogs().empty()) {
    ADD_FAILURE() << package << ": dialog `" << dialog << "` does not show: " << d->host.all();
    return nullptr;
  }
  d->view = std::make_unique<DialogView>(*d->wizard, d->wizard->active(), nullptr);
  d->view->setAttribute(Qt::WA_DontShowOnScreen);
  d->view->show();
  return d;
}

bool near(const QColor& a, const QColor& b, int tolerance) {
  return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
         std::abs(a.blue() - b.blue()) <= tolerance;
}

// Checks each case of the running test's section of fixture_cases.txt: its package and dialog
// (the first two fields) drawn, and the case's fields.
template <typename Check>
void eachCase(Check check) {
  const std::string test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
  for (const auto& c : caseRows(sourcePath("tests/qt/fixture_cases.txt"), test)) {
    SCOPED_TRACE(c.at(1) + " " + c.at(2));
    if (auto d = draw(c[0], c[1])) check(*d, c);
  }
}

// The picture on screen is the Binary row's image scaled to the control: sampled where the
// authored image is clearly coloured (a greyed or missing picture differs there), most points
// match; texts drawn over a banner may cover a few.
TEST(AuthoredPicture, IsDrawnInItsOwnColoursScaledToTheControl) {
  FENNICK_REQUIRE_FIXTURES();
  eachCase([](Drawn& d, const auto& c) {
    const msi::dialogs::Control* control = d.wizard->active().find(c[2]);
    ASSERT_NE(control, nullptr);
    const msi::Bytes data = d.wizard->binary(control->image);
    QImage authored;
    ASSERT_TRUE(authored.loadFromData(reinterpret_cast<const uchar*>(data.data()), static_cast<int>(data.size())));
    const QRect rect = msi::qt::toPixels(control->rect);
    const QImage expected = authored.convertToFormat(QImage::Format_ARGB32)
                                .scaled(rect.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    const QImage drawn = msi::qt::dialogImage(*d.wizard);
    int coloured = 0, same = 0;
    const int step = std::max(1, std::min(rect.width(), rect.height()) / 24);
    for (int y = 1; y + 1 < rect.height(); y += step)
      for (int x = 1; x + 1 < rect.width(); x += step) {
        const QColor want = expected.pixelColor(x, y);
        if (want.alpha() < 255 || want.hsvSaturation() < 96 || want.value() < 64) continue;
        ++coloured;
        if (near(drawn.pixelColor(rect.x() + x, rect.y() + y), want, 24)) ++same;
      }
    ASSERT_GE(coloured, 10) << "the authored picture has too few coloured points to judge";
    EXPECT_GE(same * 10, coloured * 9) << same << " of " << coloured << " coloured points drawn as authored";
  });
}

// `&L` underlines L and Alt+L focuses the control after the text in the tab order; a text
// shown as written takes no key; radio buttons keep theirs.
TEST(FixtureRendering, AccessKeysAreKept) {
  FENNICK_REQUIRE_FIXTURES();
  eachCase([](Drawn& d, const auto& c) {
    auto* label = d.widget<QLabel>(c[2]);
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text().toStdString(), c[3]);
    EXPECT_EQ(label->buddy(), c.size() < 5 || c[4].empty() ? nullptr : d.view->widget(c[4]));
    if (label->buddy()) {
      // Alt and the marked letter, as the keyboard delivers it, focus the buddy.
      QApplication::setActiveWindow(d.view.get());
      const QChar key = label->text().at(label->text().indexOf('&') + 1).toUpper();
      EXPECT_TRUE(qt_sendShortcutOverrideEvent(d.view.get(), 0, key.unicode(), Qt::AltModifier, key.toLower()));
      EXPECT_EQ(QApplication::focusWidget(), label->buddy());
      QApplication::setActiveWindow(nullptr);  // the view goes with this case
    }
  });
}

TEST(FixtureRendering, RadioButtonsKeepTheirAccessKeys) {
  FENNICK_REQUIRE_FIXTURES();
  eachCase([](Drawn& d, const auto& c) {
    QWidget* group = d.view->widget(c[2]);
    ASSERT_NE(group, nullptr);
    auto* radio = group->findChild<QRadioButton*>(QString::fromStdString(c[3]));
    ASSERT_NE(radio, nullptr);
    EXPECT_EQ(radio->shortcut(), QKeySequence(QString::fromStdString(c[4])));
  });
}

// The list's columns are headed by the package's UIText rows, after its text style.
TEST(FixtureRendering, VolumeCostListsShowTheirHeaders) {
  FENNICK_REQUIRE_FIXTURES();
  eachCase([](Drawn& d, const auto& c) {
    auto* list = d.widget<QTreeWidget>(c[2]);
    ASSERT_NE(list, nullptr);
    QStringList shown;
    int right = 0;
    for (int i = 0; i < list->columnCount(); ++i)
      if (!list->isColumnHidden(i) && list->columnWidth(i) > 0) {
        shown << list->headerItem()->text(i);
        right += list->columnWidth(i);
      }
    EXPECT_EQ(shown.join("|").toStdString(), "Volume|Disk Size|Available|Required|Difference");
    // Every column is in view, the last one too.
    EXPECT_LE(right, list->viewport()->width());
    EXPECT_FALSE(list->isHeaderHidden());
  });
}

// The licence is the package's rich text: its paragraphs, in the font and size it names.
TEST(FixtureRendering, TheLicenceIsShownAsRichText) {
  FENNICK_REQUIRE_FIXTURES();
  auto d = draw("ui-wix3-installdir-tricky/ui.msi", "LicenseAgreementDlg");
  ASSERT_TRUE(d);
  auto* text = d->widget<QTextEdit>("LicenseText");
  ASSERT_NE(text, nullptr);
  const std::string rtf = d->wizard->active().find("LicenseText")->text;
  EXPECT_EQ(text->document()->toPlainText().toStdString(), msi::qt::rtfToPlainText(rtf));
  EXPECT_TRUE(text->document()->toPlainText().startsWith("Lorem ipsum dolor sit amet"));
  // `{\fonttbl{\f0\fswiss\fprq2\fcharset0 Tahoma;}}` ... `\sa200\f0\fs20`
  QTextCursor at(text->document());
  at.movePosition(QTextCursor::NextCharacter);
  EXPECT_EQ(at.charFormat().fontFamilies().toStringList().value(0).toStdString(), "Tahoma");
  EXPECT_DOUBLE_EQ(at.charFormat().fontPointSize(), 10);
  EXPECT_DOUBLE_EQ(at.blockFormat().bottomMargin(), 10);
}

// The tree's menu offers each feature's choices in the package's own UIText words.
TEST(FixtureRendering, FeatureMenusSayThePackagesWords) {
  FENNICK_REQUIRE_FIXTURES();
  eachCase([](Drawn& d, const auto& c) {
    auto* tree = dynamic_cast<msi::qt::SelectionTreeWidget*>(d.view->widget("Tree"));
    ASSERT_NE(tree, nullptr);
    std::unique_ptr<QMenu> menu(tree->menuFor(QString::fromStdString(c[2])));
    ASSERT_NE(menu, nullptr);
    QStringList offered;
    for (const QAction* a : menu->actions()) offered << a->text();
    EXPECT_EQ(offered.join("|").toStdString(), c[3]);
  });
}

// A dialog opens with the focus on its first control that can take it, and Tab follows the
// package's Control_Next chain.
TEST(FixtureRendering, TheFirstControlHasTheFocusAndTabFollowsTheChain) {
  FENNICK_REQUIRE_FIXTURES();
  eachCase([](Drawn& d, const auto& c) {
    QWidget* first = d.view->focusFirst();
    ASSERT_NE(first, nullptr);
    std::vector<std::string> order;
    QWidget* w = first;
    do {
      if ((w->focusPolicy() & Qt::TabFocus) && w->isVisibleTo(d.view.get())) order.push_back(w->objectName().toStdString());
      w = w->nextInFocusChain();
    } while (w != first && order.size() < 20);
    EXPECT_EQ(order, std::vector<std::string>(c.begin() + 2, c.end()));
  });
}

}  // namespace
}  // namespace fennick::test
