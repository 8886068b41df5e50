#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "search/details/broadcastparser.h"
#include "search/details/searchdevicebroadcastthread.h"
#include "search/searchrequest.h"
#include "tests/fuzz/fuzzchecks.h"

namespace {

// FindKeyValue on its own: the first byte picks a key length, the key follows, the rest is
// the text, copied to the heap with no zero behind it.
void FuzzKeyLookup(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return;
    std::size_t keyLength = 1 + data[0] % 8;
    if (size < 1 + keyLength) return;
    std::string key(reinterpret_cast<const char*>(data + 1), keyLength);
    std::size_t textLength = size - 1 - keyLength;
    auto text = std::make_unique<char[]>(textLength + 1);
    std::memcpy(text.get(), data + 1 + keyLength, textLength);
    char dest[32];
    std::memset(dest, '#', sizeof dest);
    if (FindKeyValue(text.get(), textLength, dest, 31, key.data(), static_cast<int>(keyLength)) ==
        1) {
        if (std::memchr(dest, '\0', sizeof dest) == nullptr) std::abort();
    } else if (dest[0] != '#') {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The answer parser on exactly 148 heap bytes, so that a read past the record is caught.
    if (size >= sizeof(SearchRequest)) {
        auto answer = std::make_unique<SearchRequest>();
        std::memcpy(answer.get(), data, sizeof *answer);
        deviceinfo record;
        ParseBroadcastInfo(*answer, record);
        CheckTerminated(record);
        if (record.type != answer->type) std::abort();
    }
    FuzzKeyLookup(data, size);

    FeedWorker<CSearchDeviceBroadcastThread>(data, size);
    return 0;
}
