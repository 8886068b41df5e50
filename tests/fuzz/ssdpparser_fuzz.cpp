#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "search/details/searchdevicemulticastthread.h"
#include "search/details/ssdpparser.h"
#include "tests/fuzz/fuzzchecks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The parser alone, on a heap copy just long enough for the text and its zero, so that a
    // read past the terminator is caught.
    auto text = std::make_unique<char[]>(size + 1);
    std::memcpy(text.get(), data, size);
    text[size] = '\0';
    deviceinfo record;
    ParseSsdpDatagram(text.get(), "10.0.0.9", record);
    CheckTerminated(record);

    FeedWorker<CSearchDeviceMulticastThread>(data, size);
    return 0;
}
