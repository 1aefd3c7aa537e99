// Licence texts as rich text: the fonts, sizes, emphasis and paragraphs the RTF says.
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFragment>

#include <gtest/gtest.h>

#include "engine/qt/rtf_rich_text.h"
#include "engine/qt/rtf_text.h"
#include "tests/dialogs/dialog_test_support.h"
#include "tests/qt/qt_test_support.h"
#include "tests/support/table_sections.h"

namespace msi::qt {
namespace {

// The character format at the first occurrence of `text`.
QTextCharFormat formatAt(const QTextDocument& doc, const QString& text) {
  for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
    for (auto it = b.begin(); !it.atEnd(); ++it)
      if (it.fragment().text().contains(text)) return it.fragment().charFormat();
  ADD_FAILURE() << "no text " << text.toStdString();
  return {};
}

TEST(RtfRichText, FontsSizesEmphasisAndParagraphs) {
  fennick::test::qtApplication();
  const std::string rtf =
      "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fswiss\\fcharset0 Tahoma;}{\\f1\\fmodern Courier New;}}"
      "{\\*\\generator Riched20;}\\viewkind4\\uc1\\pard\\sa200\\f0\\fs20\\b Licence\\b0\\par\n"
      "Use it {\\i freely} and {\\f1\\fs16 exactly}\\ul so\\ulnone .\\par\n"
      "\\pard\\qc\\fs28 Centred\\par}";
  QTextDocument doc;
  setRichText(doc, rtf, "Sans");
  ASSERT_EQ(doc.blockCount(), 3);
  // The same text as the plain reading, paragraph for paragraph.
  EXPECT_EQ(doc.toPlainText().toStdString(), rtfToPlainText(rtf));

  const auto yesNo = [](bool b) { return std::string(b ? "yes" : "no"); };
  for (const auto& c : fennick::test::caseRows(fennick::test::sourcePath("tests/qt/rtf_formats.txt"))) {
    const QTextCharFormat f = formatAt(doc, QString::fromStdString(c.at(0)));
    const std::vector<std::string> shown{f.fontFamilies().toStringList().value(0).toStdString(),
                                         QString::number(f.fontPointSize()).toStdString(), yesNo(f.fontWeight() == QFont::Bold),
                                         yesNo(f.fontItalic()), yesNo(f.fontUnderline())};
    EXPECT_EQ(shown, std::vector<std::string>(c.begin() + 1, c.end())) << c[0];
  }
  // \sa200 is 10 points after each paragraph until \pard; \qc centres the last one.
  EXPECT_DOUBLE_EQ(doc.begin().blockFormat().bottomMargin(), 10);
  EXPECT_DOUBLE_EQ(doc.begin().next().blockFormat().bottomMargin(), 10);
  EXPECT_EQ(doc.lastBlock().blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
  EXPECT_DOUBLE_EQ(doc.lastBlock().blockFormat().bottomMargin(), 0);
}

TEST(RtfRichText, PlainAndBrokenTextIsShownSafely) {
  fennick::test::qtApplication();
  QTextDocument doc;
  setRichText(doc, "Just text {\\b with braces}", "Sans");
  EXPECT_EQ(doc.toPlainText(), "Just text {\\b with braces}");
  setRichText(doc, "{\\rtf1 a}}}} b {{{ c\\'4", "Sans");
  EXPECT_EQ(doc.toPlainText(), "a b  c");
  const std::string deep = "{\\rtf1 " + std::string(100000, '{') + "\\b deep" + std::string(100000, '}') + " flat}";
  setRichText(doc, deep, "Sans");
  EXPECT_EQ(doc.toPlainText(), "deep flat");
  EXPECT_EQ(formatAt(doc, "flat").fontWeight(), QFont::Normal);
}

}  // namespace
}  // namespace msi::qt
