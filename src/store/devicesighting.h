#pragma once

#include <ctime>

#include "search/deviceinfo.h"

// One entry of the device list with what its record does not carry.
struct DeviceSighting {
    deviceinfo record;
    char from[16] = {};         // the address its latest report came from; "" when unknown
    std::time_t lastHeard = 0;  // when the store last took a report of it
};
