#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "search/deviceinfo.h"
#include "search/searchhints.h"
#include "src/store/devicesighting.h"

// Where the window's devices come from: starts, repeats and stops the search, and holds the list
// the search fills. The controller calls it from the main thread, but for Diagnose, which the
// hint line calls off it; what fills the list behind it may run on other threads.
class DeviceSource {
public:
    virtual ~DeviceSource() = default;

    // The addresses beyond this network that every later search also probes (IPv4, dotted).
    virtual void SetTargets(const std::vector<std::string>& addresses) = 0;
    // Starts searching, once, at start-up.
    virtual void InitSearch() = 0;
    // Begins a search window: what the hints read (each worker's counters) starts anew.
    virtual void StartSearchWindow() = 0;
    // One search with the default request, within the current search window.
    virtual void SendSearch() = 0;
    virtual void CopyDeviceList(std::vector<deviceinfo>& destination) = 0;
    // The list with where each entry's latest report came from and when it was last heard.
    virtual void CopySightings(std::vector<DeviceSighting>& destination) = 0;
    virtual void ClearDeviceList() = 0;
    // Takes the device at ip out of the list (a watch found it silent).
    virtual void ForgetDevice(const std::string& ip) = 0;
    // Stops the search; nothing is added to the list, and the network handler is not called,
    // once it has returned.
    virtual void ExitSearch() = 0;
    // Why the search window found devicesFound boxes: its workers, the hints, the interface
    // patterns that match nothing. May read /proc: any thread but the window's main thread.
    virtual SearchDiagnosis Diagnose(std::size_t devicesFound) = 0;
    // Called on a search thread whenever the search starts serving a network that appeared
    // (a new address got its worker). Set before InitSearch.
    virtual void SetNetworkHandler(std::function<void()> handler) = 0;
    // Called on a search thread with every report, once the list has taken it. Set before
    // InitSearch.
    virtual void SetReportHandler(std::function<void(const deviceinfo&)> handler) = 0;
};
