#include "src/app/deviceurl.h"

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

QUrl DeviceUrl(const QString& scheme, const QString& ip) {
    if (!IsDottedIPv4(ip)) return QUrl();
    QUrl url;
    url.setScheme(scheme);
    url.setHost(ip, QUrl::StrictMode);
    return url;
}
