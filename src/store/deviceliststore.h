#pragma once

#include <mutex>
#include <vector>

#include "search/searchlib.h"

// The application's list of found devices, fed by the search library's callback on worker
// threads and read by the main thread. Keeps accepted vendors only, merges repeated reports
// and drops a device on its byebye. One instance per process.
class CDeviceListStore {
public:
    static CDeviceListStore& Instance();

    // Stores callback (may be null; it is handed every report after the list is updated),
    // then starts the search library with OnSearchResult. Returns InitSearchLib's result.
    int InitSearch(FindDeviceCallback callback, bool logSwitch, const char* logLocation,
                   bool interfaceSwitch);
    // One search through every worker; null sends the default request.
    int SendSearch(SearchRequest* request);
    // The library's callback: updates the list from one report, then forwards the report.
    static int OnSearchResult(deviceinfo* record, int handle);

    void CopyDeviceList(std::vector<deviceinfo>& destination);
    void ClearDeviceList();

private:
    CDeviceListStore() = default;
    int HandleResult(deviceinfo* record, int handle);
    void AddDevice(deviceinfo record);
    void RemoveDevice(const deviceinfo& record);

    std::vector<deviceinfo> list;
    std::mutex mutex;
    FindDeviceCallback applicationCallback = nullptr;
};
