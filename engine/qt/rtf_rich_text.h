// A ScrollableText control's rich text (a licence agreement) as a Qt text document: the fonts
// of its font table, sizes, bold, italic, underline, paragraphs with their alignment, spacing
// and indents. What Qt's document cannot hold (colours, tables, pictures) is left out; text
// that is not rich text is shown as it is.
#pragma once

#include <string_view>

#include <QTextDocument>

namespace msi::qt {

// Replaces the document's content. `fallbackFamily` stands behind fonts the machine lacks.
void setRichText(QTextDocument& document, std::string_view rtf, const QString& fallbackFamily);

}  // namespace msi::qt
