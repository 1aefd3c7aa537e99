// Texts, hyperlinks, group boxes, lines, progress bars and billboards; bitmaps and icons.
#include <algorithm>

#include <QFontInfo>
#include <QFontMetrics>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>

#include "engine/qt/control_widgets.h"
#include "engine/qt/mnemonics.h"
#include "engine/qt/selection_tree_widget.h"

namespace msi::qt {
namespace {

using dialogs::Control;
using dialogs::ControlType;

// The narrowest a text is condensed to fit its box (see fitToBox).
constexpr int kNarrowestStretch = 85;

// Layouts are authored for the Windows dialog fonts. Where the font a text asks for is
// missing, the one that stands in for it may set the same words wider (DejaVu Sans runs about
// 15% wider than Tahoma), so a text that fits its box on Windows would wrap onto a line the
// box cuts off. Such a text is condensed just enough to fit, down to 85%; a text set in the
// font it asks for, or one that does not fit even then, is left at its natural width, as
// Windows cuts it.
void fitToBox(QLabel* label) {
  QFont font = label->font();
  font.setStretch(QFont::Unstretched);
  const QStringList asked = font.families();
  const bool standIn = asked.isEmpty() || QFontInfo(font).family().compare(asked.front(), Qt::CaseInsensitive) != 0;
  const QRect box = label->contentsRect();
  const int flags = (label->wordWrap() ? Qt::TextWordWrap : 0) | Qt::TextShowMnemonic;
  const auto fits = [&](const QFont& f) {
    const QRect need = QFontMetrics(f).boundingRect(QRect(0, 0, box.width(), 1 << 20), flags, label->text());
    return need.height() <= box.height() && need.width() <= box.width();
  };
  if (standIn && !label->text().isEmpty() && !fits(font)) {
    for (int stretch = 100 - 1; stretch >= kNarrowestStretch; --stretch) {
      QFont narrower = font;
      narrower.setStretch(stretch);
      if (fits(narrower)) {
        font = narrower;
        break;
      }
    }
  }
  if (font != label->font()) label->setFont(font);
}

QWidget* createText(const Control& control, QWidget* parent, const WidgetContext&) {
  switch (control.type) {
    case ControlType::Text:
    case ControlType::HyperLink: {
      auto* label = new QLabel(parent);
      label->setWordWrap((control.attributes & dialogs::kTextNoWrap) == 0);
      label->setAlignment(((control.attributes & dialogs::kControlRightAligned) ? Qt::AlignRight : Qt::AlignLeft) |
                          Qt::AlignTop);
      label->setTextFormat(Qt::PlainText);
      if (control.sunken()) label->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
      return label;
    }
    case ControlType::Line: {
      auto* line = new QFrame(parent);
      line->setFrameStyle(QFrame::HLine | QFrame::Sunken);
      return line;
    }
    case ControlType::GroupBox: return new QGroupBox(parent);
    case ControlType::ProgressBar: {
      auto* bar = new QProgressBar(parent);
      bar->setRange(0, 100);
      bar->setTextVisible(false);
      return bar;
    }
    default: return new QFrame(parent);  // Billboard
  }
}

void refreshText(const Control& control, QWidget* w, const WidgetContext& context) {
  const bool noPrefix = (control.attributes & dialogs::kTextNoPrefix) != 0;
  switch (control.type) {
    case ControlType::Text:
    case ControlType::HyperLink: {
      auto* label = static_cast<QLabel*>(w);
      applyStyle(label, styleOf(control, context.wizard));
      // With a buddy Qt reads the access key (and `&&`); without one there is nothing to press.
      label->setText(label->buddy() && !noPrefix ? mnemonicText(control.text, false) : labelText(control.text, noPrefix));
      fitToBox(label);
      break;
    }
    case ControlType::Line: {
      // A line row is often 0 units high; its frame still needs its two pixels.
      QRect r = w->geometry();
      if (r.height() < 2) w->setGeometry(r.x(), r.y(), r.width(), 2);
      break;
    }
    case ControlType::GroupBox:
      applyStyle(w, styleOf(control, context.wizard));
      static_cast<QGroupBox*>(w)->setTitle(mnemonicText(control.text, noPrefix));
      break;
    case ControlType::ProgressBar:
      static_cast<QProgressBar*>(w)->setValue(std::clamp(control.progress, 0, 100));
      break;
    default: break;
  }
}

QWidget* createPicture(const Control&, QWidget* parent, const WidgetContext&) {
  auto* picture = new QLabel(parent);
  picture->setScaledContents(true);
  return picture;
}

void refreshPicture(const Control& control, QWidget* w, const WidgetContext& context) {
  auto* picture = static_cast<QLabel*>(w);
  // An icon following the selection tree shows the highlighted feature's state as the tree does.
  const QVariant shownState = picture->property("selectionIcon");
  if (!control.selectionIcon.empty() || shownState.isValid()) {
    if (shownState.toString().toStdString() == control.selectionIcon && shownState.isValid()) return;
    picture->setProperty("selectionIcon", QString::fromStdString(control.selectionIcon));
    const auto state = dialogs::parseFeatureChoice(control.selectionIcon);
    picture->setPixmap(state ? SelectionTreeWidget::stateIcon(*state).pixmap(picture->size()) : QPixmap());
    return;
  }
  if (!picture->pixmap().isNull()) return;
  const std::string key = control.image.empty() ? control.text : control.image;
  QPixmap image = decodeImage(context.wizard.binary(key));
  if (!image.isNull()) picture->setPixmap(image);
}

}  // namespace

const WidgetFamily kTextFamily{createText, refreshText};
const WidgetFamily kPictureFamily{createPicture, refreshPicture};

}  // namespace msi::qt
