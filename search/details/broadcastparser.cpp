#include "search/details/broadcastparser.h"

#include <cstring>

namespace {

// First occurrence of needle in the bounded text, or null. The text may carry no zero byte
// at all, so the C string searches cannot be used on it.
const char* FindBounded(const char* text, std::size_t textLength, const char* needle,
                        std::size_t needleLength) {
    if (needleLength == 0 || needleLength > textLength) return nullptr;
    const char* last = text + (textLength - needleLength);
    for (const char* at = text; at <= last; ++at) {
        at = static_cast<const char*>(
            std::memchr(at, needle[0], static_cast<std::size_t>(last - at) + 1));
        if (at == nullptr) return nullptr;
        if (std::memcmp(at, needle, needleLength) == 0) return at;
    }
    return nullptr;
}

}  // namespace

int FindKeyValue(const char* text, std::size_t textLength, char* dest, int maxLen, const char* key,
                 int keyLen) {
    if (keyLen <= 0 || maxLen < 0) return 0;
    const char* match = FindBounded(text, textLength, key, static_cast<std::size_t>(keyLen));
    if (match == nullptr) return 0;
    const char* value = match + keyLen;
    std::size_t rest = textLength - static_cast<std::size_t>(value - text);
    const void* amp = std::memchr(value, '&', rest);
    std::size_t length =
        amp != nullptr ? static_cast<std::size_t>(static_cast<const char*>(amp) - value) : rest;
    if (length > static_cast<std::size_t>(maxLen)) length = static_cast<std::size_t>(maxLen);
    std::memcpy(dest, value, length);
    dest[length] = '\0';
    return 1;
}

int ParseBroadcastInfo(const SearchRequest& answer, deviceinfo& record) {
    record.type = answer.type;
    const char* text = answer.info;
    const void* zero = std::memchr(text, '\0', sizeof answer.info);
    std::size_t length = zero != nullptr
                             ? static_cast<std::size_t>(static_cast<const char*>(zero) - text)
                             : sizeof answer.info;
    constexpr int kMaxLen = sizeof record.id - 1;
    FindKeyValue(text, length, record.id, kMaxLen, "id=", 3);
    FindKeyValue(text, length, record.host, kMaxLen, "host=", 5);
    FindKeyValue(text, length, record.factory, kMaxLen, "vendor=", 7);
    FindKeyValue(text, length, record.product, kMaxLen, "product=", 8);
    return 1;
}
