#include "src/app/captionfont.h"

#include <QRegularExpression>

#include "src/app/fontnode.h"

double ReadFontSize(const QString& text) {
    // Parsed by hand rather than with strtod, which would follow the user's decimal separator.
    static const QRegularExpression kLeadingNumber(
        QStringLiteral(R"(^\s*([+-]?(?:\d+\.?\d*|\.\d+)(?:[eE][+-]?\d+)?))"));
    const QRegularExpressionMatch match = kLeadingNumber.match(text);
    if (!match.hasMatch()) return 0.0;
    bool ok = false;
    const double value = match.captured(1).toDouble(&ok);
    return ok ? value : 0.0;
}

QFont CaptionFont(const FontNode& entry, const QFont& current) {
    QFont font = current;
    if (!entry.Font().isEmpty()) font.setFamilies({entry.Font()});
    const double size = ReadFontSize(entry.FontSize());
    if (size > 0.0) font.setPointSizeF(size);
    return font;
}
