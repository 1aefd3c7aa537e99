#include "engine/qt/rtf_rich_text.h"

#include <algorithm>
#include <map>
#include <vector>

#include <QTextBlock>
#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QTextCursor>

#include "engine/qt/rtf_reader.h"

namespace msi::qt {
namespace {

struct CharState {
  long font = -1;     // -1: the document's default font
  int halfPoints = 24;  // 12 pt unless the text says otherwise
  bool bold = false, italic = false, underline = false, strike = false;
};

// Twips (a twentieth of a point) as points, kept within what a page could hold.
double points(long twips) { return std::clamp(twips, -20000L, 20000L) / 20.0; }

class RichText : public RtfHandler {
 public:
  RichText(QTextDocument& document, QString fallback) : cursor_(&document), fallback_(std::move(fallback)) {
    cursor_.setBlockFormat(block_);
  }

  void font(long number, const std::string& name) override { fonts_[number] = QString::fromStdString(name); }
  void groupOpen() override { stack_.push_back(state_); }
  void groupClose() override {
    if (stack_.empty()) return;
    state_ = stack_.back();
    stack_.pop_back();
  }
  void text(std::string_view utf8) override {
    cursor_.insertText(QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())), charFormat());
  }

  void word(std::string_view w, std::optional<long> p) override {
    const long value = p.value_or(1);
    if (w == "par" || w == "sect" || w == "page") cursor_.insertBlock(block_, charFormat());
    else if (w == "line") cursor_.insertText(QString(QChar::LineSeparator), charFormat());
    else if (w == "deff") defaultFont_ = value;
    else if (w == "f") state_.font = value;
    else if (w == "fs") state_.halfPoints = std::clamp(static_cast<int>(value), 2, 144);
    else if (w == "b") state_.bold = value != 0;
    else if (w == "i") state_.italic = value != 0;
    else if (w == "ul") state_.underline = value != 0;
    else if (w == "ulnone") state_.underline = false;
    else if (w == "strike") state_.strike = value != 0;
    else if (w == "plain") state_ = CharState{};
    else if (w == "pard") setBlock(QTextBlockFormat());
    else if (w == "ql") setAlignment(Qt::AlignLeft);
    else if (w == "qr") setAlignment(Qt::AlignRight);
    else if (w == "qc") setAlignment(Qt::AlignHCenter);
    else if (w == "qj") setAlignment(Qt::AlignJustify);
    else if (w == "sa" && p) setSpacing(false, points(*p));
    else if (w == "sb" && p) setSpacing(true, points(*p));
    else if (w == "li" && p) setIndent(&QTextBlockFormat::setLeftMargin, points(*p));
    else if (w == "ri" && p) setIndent(&QTextBlockFormat::setRightMargin, points(*p));
    else if (w == "fi" && p) setIndent(&QTextBlockFormat::setTextIndent, points(*p));
  }

  // A paragraph mark at the very end opens no paragraph of its own.
  void finish() {
    QTextDocument* doc = cursor_.document();
    if (doc->blockCount() > 1 && doc->lastBlock().text().isEmpty()) {
      cursor_.movePosition(QTextCursor::End);
      cursor_.deletePreviousChar();
    }
  }

 private:
  QTextCharFormat charFormat() const {
    QTextCharFormat f;
    const auto it = fonts_.find(state_.font < 0 ? defaultFont_ : state_.font);
    if (it != fonts_.end() && !it->second.isEmpty()) f.setFontFamilies(QStringList{it->second, fallback_});
    else f.setFontFamilies(QStringList{fallback_});
    f.setFontPointSize(state_.halfPoints / 2.0);
    f.setFontWeight(state_.bold ? QFont::Bold : QFont::Normal);
    f.setFontItalic(state_.italic);
    f.setFontUnderline(state_.underline);
    f.setFontStrikeOut(state_.strike);
    return f;
  }
  void setBlock(const QTextBlockFormat& block) {
    block_ = block;
    cursor_.setBlockFormat(block_);
  }
  void setAlignment(Qt::Alignment a) {
    block_.setAlignment(a);
    cursor_.setBlockFormat(block_);
  }
  void setSpacing(bool before, double pt) {
    if (before) block_.setTopMargin(std::max(pt, 0.0));
    else block_.setBottomMargin(std::max(pt, 0.0));
    cursor_.setBlockFormat(block_);
  }
  void setIndent(void (QTextBlockFormat::*set)(qreal), double pt) {
    (block_.*set)(pt);
    cursor_.setBlockFormat(block_);
  }

  QTextCursor cursor_;
  QString fallback_;
  std::map<long, QString> fonts_;
  long defaultFont_ = 0;
  CharState state_;
  std::vector<CharState> stack_;
  QTextBlockFormat block_;
};

}  // namespace

void setRichText(QTextDocument& document, std::string_view rtf, const QString& fallbackFamily) {
  document.clear();
  if (!rtf.starts_with("{\\rtf")) {
    document.setPlainText(QString::fromUtf8(rtf.data(), static_cast<qsizetype>(rtf.size())));
    return;
  }
  RichText rich(document, fallbackFamily);
  readRtf(rtf, rich);
  rich.finish();
}

}  // namespace msi::qt
