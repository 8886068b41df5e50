#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "search/details/finddevice.h"
#include "search/deviceinfo.h"

// Every text field of a record must keep its terminating zero, whatever the datagram held.
inline void CheckTerminated(const deviceinfo& record) {
    for (const char* field : {record.id, record.ip, record.host, record.product, record.extra,
                              record.osversion, record.factory}) {
        if (field[sizeof record.id - 1] != '\0') std::abort();
    }
    if (record.lifetime != 60) std::abort();
}

inline int CheckReport(deviceinfo* record, int) {
    CheckTerminated(*record);
    return 0;
}

// Hands the input to a worker's HandleReceive as the receive loop does: at most 1024 bytes,
// zero-filled behind. The worker is never set up, so no socket is opened.
template <typename Worker>
void FeedWorker(const std::uint8_t* data, std::size_t size) {
    static Worker* worker = [] {
        SetFindDeviceCallback(&CheckReport);
        return new Worker;
    }();
    char buffer[1025] = {};
    std::size_t length = std::min<std::size_t>(size, 1024);
    std::memcpy(buffer, data, length);
    std::string fromIp = "192.168.1.77";
    if (length != 0) worker->HandleReceive(buffer, static_cast<int>(length), fromIp);
}
