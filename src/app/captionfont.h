#pragma once

#include <QFont>
#include <QString>

class FontNode;

// A caption's font size as a number: leading blanks skipped, then the longest decimal number at
// the start of the text; 0 when the text does not begin with one (or is null).
double ReadFontSize(const QString& text);

// The font a caption entry names, at its size. An entry without a font name keeps the widget's
// family, and a size that is not positive keeps the widget's size.
QFont CaptionFont(const FontNode& entry, const QFont& current);
