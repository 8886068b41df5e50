#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "search/deviceinfo.h"
#include "search/searchhints.h"

// Where the window's devices come from: starts, repeats and stops the search, and holds the list
// the search fills. The controller calls it from the main thread only; what fills the list
// behind it may run on other threads.
class DeviceSource {
public:
    virtual ~DeviceSource() = default;

    // The addresses beyond this network that every later search also probes (IPv4, dotted).
    virtual void SetTargets(const std::vector<std::string>& addresses) = 0;
    // Starts searching, once, at start-up.
    virtual void InitSearch() = 0;
    // Sends one search with the default request.
    virtual void SendSearch() = 0;
    virtual void CopyDeviceList(std::vector<deviceinfo>& destination) = 0;
    virtual void ClearDeviceList() = 0;
    // Stops the search; nothing is added to the list once it has returned.
    virtual void ExitSearch() = 0;
    // What the search rests on now, for telling why it found devicesFound boxes: its workers,
    // the interfaces, the holders of the ports it could not have.
    virtual SearchFacts Facts(std::size_t devicesFound) = 0;
};
