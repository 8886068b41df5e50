#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "search/details/finddevice.h"
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

    // The worker, fed as its receive loop feeds it: at most 1024 bytes, zero-filled behind.
    static CSearchDeviceMulticastThread* worker = [] {
        SetFindDeviceCallback(&CheckReport);
        return new CSearchDeviceMulticastThread;
    }();
    char buffer[1025] = {};
    std::size_t length = std::min<std::size_t>(size, 1024);
    std::memcpy(buffer, data, length);
    std::string fromIp = "192.168.1.77";
    if (length != 0) worker->HandleReceive(buffer, static_cast<int>(length), fromIp);
    return 0;
}
