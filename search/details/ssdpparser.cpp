#include "search/details/ssdpparser.h"

#include <cstddef>
#include <cstring>

namespace {

constexpr std::size_t kTokenSize = 64;

// Copies [begin, end) into a zero-filled field of fieldSize bytes, cut so that its last byte
// stays zero. The search positions of the caller stay in the datagram, so cutting a value
// never moves where the next step looks.
void CopyCut(char* field, std::size_t fieldSize, const char* begin, const char* end) {
    std::size_t length = static_cast<std::size_t>(end - begin);
    if (length > fieldSize - 1) length = fieldSize - 1;
    std::memcpy(field, begin, length);
    field[length] = '\0';
}

template <std::size_t N>
void CopyCut(char (&field)[N], const char* begin, const char* end) {
    CopyCut(field, N, begin, end);
}

template <std::size_t N>
bool StartsWith(const char* text, const char (&prefix)[N]) {
    return std::strncmp(text, prefix, N - 1) == 0;
}

// LOCATION's address: between the first "//" after the header name and the next ':'.
// Without the header the sender's address stands in. False drops the datagram.
bool ParseLocation(const char* text, const char* fromIp, deviceinfo& record) {
    const char* location = std::strstr(text, "LOCATION:");
    if (location == nullptr) {
        CopyDeviceField(record.ip, fromIp);
        return true;
    }
    const char* slashes = std::strstr(location, "//");
    if (slashes == nullptr) return false;
    const char* begin = slashes + 2;
    const char* colon = std::strchr(begin, ':');
    if (colon == nullptr) return false;
    CopyCut(record.ip, begin, colon);
    return true;
}

// The device token: factory "/" host "/" product, then optionally "/" and the extra part,
// which keeps any further '/'. Split after the token was cut to 63 characters.
void SplitDeviceToken(const char* token, deviceinfo& record) {
    const char* first = std::strchr(token, '/');
    if (first == nullptr) return;
    CopyCut(record.factory, token, first);
    const char* second = std::strchr(first + 1, '/');
    if (second == nullptr) return;
    CopyCut(record.host, first + 1, second);
    const char* third = std::strchr(second + 1, '/');
    if (third == nullptr) {
        CopyCut(record.product, second + 1, second + 1 + std::strlen(second + 1));
        return;
    }
    CopyCut(record.product, second + 1, third);
    CopyCut(record.extra, third + 1, third + 1 + std::strlen(third + 1));
}

// SERVER: "KIVO/" version "," item "," one character, then the device token up to the CR.
// A missing piece ends the step and keeps what was filled before it.
void ParseServer(const char* text, deviceinfo& record) {
    const char* server = std::strstr(text, "SERVER:");
    if (server == nullptr) return;
    const char* brand = std::strstr(server, "KIVO/");
    if (brand == nullptr) return;
    const char* version = brand + 5;
    const char* firstComma = std::strchr(version, ',');
    if (firstComma == nullptr) return;
    CopyCut(record.osversion, version, firstComma);
    const char* secondComma = std::strchr(firstComma + 1, ',');
    if (secondComma == nullptr || secondComma[1] == '\0') return;
    const char* tokenBegin = secondComma + 2;
    const char* tokenEnd = std::strchr(tokenBegin, '\r');
    if (tokenEnd == nullptr) return;
    char token[kTokenSize] = {};
    CopyCut(token, tokenBegin, tokenEnd);
    SplitDeviceToken(token, record);
}

// USN: the identifier between "uuid:" and the next "::". False drops the datagram.
bool ParseUsn(const char* text, deviceinfo& record) {
    const char* usn = std::strstr(text, "USN:");
    if (usn == nullptr) return false;
    const char* uuid = std::strstr(usn, "uuid:");
    if (uuid == nullptr) return false;
    const char* begin = uuid + 5;
    const char* end = std::strstr(begin, "::");
    if (end == nullptr) return false;
    CopyCut(record.id, begin, end);
    return true;
}

// 1 for an answer; for a root-device announcement 2 (alive), 4 (byebye) or 0 (other NTS).
// False drops the datagram.
bool ParseKind(const char* text, deviceinfo& record) {
    if (StartsWith(text, "HTTP")) {
        record.type = 1;
        return true;
    }
    if (!StartsWith(text, "NOTIFY")) return false;
    if (std::strstr(text, "rootdevice") == nullptr) return false;
    const char* nts = std::strstr(text, "NTS:");
    if (nts == nullptr) return false;
    const char* value = nts + 4;
    while (*value == ' ' || *value == '\t') ++value;
    if (StartsWith(value, "ssdp:alive")) {
        record.type = 2;
    } else if (StartsWith(value, "ssdp:byebye")) {
        record.type = 4;
    } else {
        record.type = 0;
    }
    return true;
}

}  // namespace

bool ParseSsdpDatagram(const char* text, const char* fromIp, deviceinfo& record) {
    record.clear();
    if (std::strstr(text, "KIVO") == nullptr) return false;
    if (!ParseLocation(text, fromIp, record)) return false;
    ParseServer(text, record);
    if (!ParseUsn(text, record)) return false;
    return ParseKind(text, record);
}
