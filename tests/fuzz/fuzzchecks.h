#pragma once

#include <cstdlib>

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
