#include "src/app/deviceurl.h"

#include <algorithm>

bool IsDottedIPv4(QStringView text) {
    int parts = 0;
    qsizetype i = 0;
    while (true) {
        int digits = 0;
        int value = 0;
        const qsizetype start = i;
        // QChar::isDigit would admit other scripts' digits; only ASCII ones make an address.
        while (i < text.size() && text[i] >= u'0' && text[i] <= u'9' && digits < 4) {
            value = value * 10 + (text[i].unicode() - u'0');
            ++digits;
            ++i;
        }
        // Leading zeros are refused: some resolvers read them as octal.
        if (digits == 0 || digits > 3 || value > 255 || (digits > 1 && text[start] == u'0')) {
            return false;
        }
        ++parts;
        if (parts == 4) return i == text.size();
        if (i >= text.size() || text[i] != u'.') return false;
        ++i;
    }
}

namespace {

constexpr qsizetype kMaxNameLength = 253;
constexpr qsizetype kMaxLabelLength = 63;

bool IsAsciiDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

bool IsAsciiLetter(QChar c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

// A label a URL parser takes for a number: decimal digits, or 0x followed by hex digits.
bool IsNumber(QStringView label) {
    if (label.startsWith(u"0x", Qt::CaseInsensitive)) {
        return std::all_of(label.begin() + 2, label.end(), [](QChar c) {
            return IsAsciiDigit(c) || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
        });
    }
    return std::all_of(label.begin(), label.end(), IsAsciiDigit);
}

}  // namespace

bool IsDnsHostName(QStringView text) {
    if (text.isEmpty() || text.size() > kMaxNameLength) return false;
    QStringView last;
    for (const QStringView label : text.split(u'.')) {
        if (label.isEmpty() || label.size() > kMaxLabelLength) return false;
        if (label.front() == u'-' || label.back() == u'-') return false;
        for (const QChar c : label) {
            if (c != u'-' && !IsAsciiLetter(c) && !IsAsciiDigit(c)) return false;
        }
        last = label;
    }
    return !IsNumber(last);
}

QUrl DeviceUrl(const QString& scheme, const QString& ip) {
    if (!IsDottedIPv4(ip) && !IsDnsHostName(ip)) return QUrl();
    QUrl url;
    url.setScheme(scheme);
    url.setHost(ip, QUrl::StrictMode);
    return url.isValid() ? url : QUrl();
}
